#include "platform/qt_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "platform/help_viewer.h"

namespace ondrel {

namespace {

QWidget* dialogParent() {
    return QApplication::activeWindow();
}

QMessageBox::StandardButton standardButton(MessageAnswer answer) {
    switch (answer) {
        case MessageAnswer::Yes:
            return QMessageBox::Yes;
        case MessageAnswer::No:
            return QMessageBox::No;
        case MessageAnswer::Cancel:
            return QMessageBox::Cancel;
        case MessageAnswer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// The file dialog's list in the default locale's formats. Qt's file list writes sizes and
// dates in the system locale's, which would show English dates to a user whose locale is not
// Japanese, beside Japanese menus.
class DefaultLocaleFileDetails : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex source = mapToSource(index);
        if (role != Qt::DisplayRole || files == nullptr || !source.isValid()) {
            return QIdentityProxyModel::data(index, role);
        }
        if (index.column() == kSizeColumn && !files->isDir(source)) {
            return QLocale().formattedDataSize(files->size(source));
        }
        if (index.column() == kDateColumn) {
            return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    static constexpr int kSizeColumn = 1;
    static constexpr int kDateColumn = 3;
};

// Whether the nearest folder of path that exists holds a name that is not UTF-8.
bool besideNameNotInUtf8(const QString& path) {
#if defined(Q_OS_UNIX)
    QByteArray folder = QFile::encodeName(path);
    struct stat info {};
    do {
        folder.truncate(std::max<qsizetype>(folder.lastIndexOf('/'), 0));
    } while (!folder.isEmpty() && ::stat(folder.constData(), &info) != 0);
    DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    bool found = false;
    while (dir != nullptr && !found) {
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            break;
        }
        found = !QByteArrayView(entry->d_name).isValidUtf8();
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return found;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Qt's dialog neither lists a name that is not UTF-8 nor lets Open take one typed as it
// reads (表示.cgi for Shift_JIS bytes): beside such a name, a name typed that does not exist
// is handed on, for the editor to find the file it stands for or say why not.
class FileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList picked = selectedFiles();
        if (fileMode() == ExistingFile && picked.size() == 1 && !QFileInfo::exists(picked[0]) &&
            besideNameNotInUtf8(picked[0])) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

QString runFileDialog(QFileDialog::AcceptMode mode, const QString& nameBoxText,
                      const QStringList& filters) {
    FileDialog dialog(dialogParent());
    // Qt's own dialog, not the desktop's: it speaks Japanese and uses the default locale's
    // formats whatever the user's locale is.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new DefaultLocaleFileDetails(&dialog));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.first());
    }
    // No default suffix: a name typed without an extension is used exactly as typed.
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(nameBoxText);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}

// A progress window the user cannot dismiss: while it shows, the work behind it still runs
// and lets events through, and a hidden window would let the user act on a half-done
// document. It has no cancel button and ignores Escape and its close box.
class UndismissableProgressDialog : public QProgressDialog {
public:
    UndismissableProgressDialog(const QString& label, QWidget* parent)
        : QProgressDialog(label, QString(), 0, 100, parent,
                          Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
        setCancelButton(nullptr);
    }
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

class QtProgress : public Progress {
public:
    explicit QtProgress(const QString& label) : m_dialog(label, dialogParent()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_dialog.setWindowTitle(QStringLiteral("Ondrel"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(1000);
        m_dialog.setValue(0);
    }
    ~QtProgress() override {
        m_dialog.reset();
        QApplication::restoreOverrideCursor();
    }
    // A modal progress dialog lets events through while its value changes, so the window
    // repaints and the dialog shows up once the work has gone on for a second.
    void setPercent(int percent) override { m_dialog.setValue(percent); }

private:
    UndismissableProgressDialog m_dialog;
};

// A progress window with a Cancel button, which Escape and the close box press too.
class CancellableProgress : public Progress {
public:
    explicit CancellableProgress(const QString& label)
        : m_dialog(label, QStringLiteral("キャンセル"), 0, 100, dialogParent()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_dialog.setWindowTitle(QStringLiteral("Ondrel"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumDuration(1000);
        m_dialog.setValue(0);
    }
    ~CancellableProgress() override {
        m_dialog.reset();
        QApplication::restoreOverrideCursor();
    }
    void setPercent(int percent) override { m_dialog.setValue(percent); }
    bool cancelled() const override { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
};

}  // namespace

QtDialogs::QtDialogs() = default;

QtDialogs::~QtDialogs() {
    delete m_helpViewer.data();
}

MessageAnswer QtDialogs::message(const QString& text, const QString& title, MessageButtons buttons,
                                 MessageIcon icon, MessageAnswer defaultButton) {
    QMessageBox box(dialogParent());
    box.setText(text);
    box.setWindowTitle(title);
    switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNoCancelNoAccessKeys:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            // A message box answers to a button's letter even without Alt; a caption without
            // an access key ("はい(&Y)" without "(&Y)") leaves the button no letter.
            for (QAbstractButton* button : box.buttons()) {
                button->setText(button->text()
                                    .remove(QRegularExpression(QStringLiteral("\\(&.\\)")))
                                    .remove(u'&'));
            }
            break;
    }
    box.setDefaultButton(standardButton(defaultButton));
    switch (box.exec()) {
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        default:
            // Closing a box by its close box (or Escape) takes back the question: No in a
            // Yes/No box, Cancel where there is a Cancel button.
            switch (buttons) {
                case MessageButtons::YesNo:
                    return MessageAnswer::No;
                case MessageButtons::YesNoCancel:
                case MessageButtons::YesNoCancelNoAccessKeys:
                    return MessageAnswer::Cancel;
                case MessageButtons::Ok:
                    break;
            }
            return MessageAnswer::Ok;
    }
}

QString QtDialogs::prompt(const QString& message, const QString& title,
                          const QString& defaultText) {
    QInputDialog dialog(dialogParent());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(message);
    // A line edit cuts what is typed or pasted at 32,767 characters by default, without a
    // word; the prompt takes any text a document can hold, and the command judges its size.
    if (auto* field = dialog.findChild<QLineEdit*>()) {
        field->setMaxLength(std::numeric_limits<int>::max());
    }
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    return dialog.textValue();
}

QString QtDialogs::openFileName(const QString& nameBoxText, const QStringList& filters) {
    return runFileDialog(QFileDialog::AcceptOpen, nameBoxText, filters);
}

QString QtDialogs::saveFileName(const QString& nameBoxText, const QStringList& filters) {
    return runFileDialog(QFileDialog::AcceptSave, nameBoxText, filters);
}

QColor QtDialogs::chooseColor(const QColor& initial) {
    return QColorDialog::getColor(initial, dialogParent());
}

bool QtDialogs::setupPrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, dialogParent());
    return dialog.exec() == QDialog::Accepted;
}

void QtDialogs::showHelp(const QString& path) {
    if (!m_helpViewer) {
        m_helpViewer = new HelpViewer();
    }
    m_helpViewer->showFile(path);
}

std::unique_ptr<Progress> QtDialogs::startProgress(const QString& label) {
    return std::make_unique<QtProgress>(label);
}

std::unique_ptr<Progress> QtDialogs::startCancellableProgress(const QString& label) {
    return std::make_unique<CancellableProgress>(label);
}

bool QtDialogs::startProgram(const QString& path) {
    return !path.isEmpty() && QProcess::startDetached(path, QStringList());
}

bool QtDialogs::startEditor(const QByteArray& fileName) {
    // "--" keeps a name that starts with "-" from being read as an option.
#if defined(Q_OS_UNIX)
    // Qt passes arguments as UTF-8, which would garble a name that is not: the new program is
    // started by hand, detached by a child that ends at once, and its exec reported back
    // through a pipe that the exec closes.
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    char* const arguments[] = {const_cast<char*>(program.constData()), const_cast<char*>("--"),
                               const_cast<char*>(fileName.constData()), nullptr};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t editor = ::fork();
        if (editor == 0) {
            ::execv(program.constData(), arguments);
            const int error = errno;
            (void)!::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        ::_exit(editor > 0 ? 0 : 1);
    }
    ::close(report[1]);
    int status = 0;
    pid_t waited = -1;
    do {
        waited = child > 0 ? ::waitpid(child, &status, 0) : -1;
    } while (waited < 0 && errno == EINTR);
    const bool forked = waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    int error = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return forked && got == 0;
#else
    return QProcess::startDetached(QCoreApplication::applicationFilePath(),
                                   {QStringLiteral("--"), QFile::decodeName(fileName)});
#endif
}

}  // namespace ondrel
