#include "app/main_window.h"

#include <Qsci/qsciscintilla.h>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSessionManager>
#include <QSysInfo>
#include <QTimer>

#include "app/command_line.h"
#include "app/menu_table.h"
#include "app/program.h"
#include "app/status_bar.h"
#include "app/text_context_menu.h"
#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "documents/file_name.h"
#include "documents/printing.h"
#include "documents/recovery.h"
#include "documents/syntax_note.h"
#include "editing/appearance.h"
#include "editing/backslash_marks.h"
#include "editing/edit_commands.h"
#include "editing/replace_all.h"
#include "info/branding.h"
#include "info/help_command.h"
#include "snippets/assignments.h"
#include "snippets/templates.h"
#include "text/insert_at_caret.h"
#include "text/size_limit.h"

namespace ondrel {

namespace {

constexpr int kClientWidth = 489;   // 7335 twips
constexpr int kClientHeight = 413;  // 6195 twips

// The local files among the dropped URLs, as the bytes of their names; none for text or a
// web link. Read from the raw list: Qt's URLs hold a name that is not UTF-8 garbled.
QByteArrayList droppedFiles(const QMimeData* data) {
    QByteArrayList files;
    if (data == nullptr || !data->hasFormat(QStringLiteral("text/uri-list"))) {
        return files;
    }
    const QByteArray list = data->data(QStringLiteral("text/uri-list"));
    const QByteArray thisHost = QSysInfo::machineHostName().toUtf8().toLower();
    for (QByteArray line : list.split('\n')) {
        line = line.trimmed();
        if (!line.toLower().startsWith("file:")) {
            continue;  // a comment, an empty line or another scheme
        }
        // file:///path, file://host/path for this machine, or file:/path.
        qsizetype slash = 5;
        if (line.mid(5, 2) == "//") {
            slash = line.indexOf('/', 7);
            const QByteArray host = line.mid(7, slash - 7).toLower();
            if (slash < 0 || (!host.isEmpty() && host != "localhost" && host != thisHost)) {
                continue;
            }
        }
        const QByteArray name = QByteArray::fromPercentEncoding(line.mid(slash));
        if (name.startsWith('/') && !name.contains('\0')) {
            files << name;
        }
    }
    return files;
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, Program& program)
    : m_dialogs(dialogs),
      m_program(program),
      m_client(new QWidget(this)),
      m_textBox(m_client),
      m_statusBar(new StatusBar([this] { return m_textBox.overtype(); }, m_client)),
      m_files(std::make_unique<FileCommands>(
          m_textBox, dialogs, [this](const QString& caption) { setWindowTitle(caption); })),
      m_printing(std::make_unique<Printing>(m_textBox, dialogs)),
      m_edit(std::make_unique<EditCommands>(m_textBox, dialogs)),
      m_replace(std::make_unique<ReplaceCommand>(m_textBox, dialogs)),
      m_appearance(std::make_unique<Appearance>(m_textBox, dialogs)),
      m_assignments(std::make_unique<AssignmentCommands>(m_textBox, dialogs)),
      m_backslashMarks(std::make_unique<BackslashMarks>(m_textBox, asciiTrailChars())),
      m_syntaxNote(std::make_unique<SyntaxNote>(m_textBox)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ondrel"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);
    m_textBox.setOnRefused([this] { refuseTooLarge(m_dialogs); });
    m_files->setOnSaved([this](const QByteArray& path) { m_syntaxNote->check(path); });
    m_statusBar->hide();
    // The text area's own English right-click menu and its taking in of dropped files as text
    // give way to the window's: the viewport gets mouse menus and drops, the editor the
    // keyboard's menu key.
    m_textBox.widget()->installEventFilter(this);
    m_textBox.widget()->viewport()->installEventFilter(this);
    setAcceptDrops(true);

    m_actions = buildMenuBar(menuBar());
    m_actions.value(QStringLiteral("mnustatus"))->setCheckable(true);
    for (const MenuItem& item : kMenuTable) {
        if (item.action.command == Command::None) {
            continue;
        }
        QAction* action = m_actions.value(QString::fromLatin1(item.name));
        connect(action, &QAction::triggered, this,
                [this, &item] { runCommand([this, &item] { run(item.action); }); });
        if (item.shortcut[0] != '\0') {
            m_textBox.leaveKeyToMenu(action->shortcut());
        }
    }

#ifndef QT_NO_SESSIONMANAGER
    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::commitData);
#endif
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    m_textBox.widget()->setFocus();

    // Recovery copy: kept while the document is modified; SIGTERM, SIGHUP and SIGINT write it
    // and end the program without a question.
    m_recovery = std::make_unique<Recovery>(m_textBox, [this] {
        return RecoveryFile{m_files->fileName(), m_files->recoveryState()};
    });
    m_recovery->endOnSignals([this] { m_program.endProgram(); });
    m_files->setOnDiscarded([this] { m_recovery->documentDiscarded(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::load() {
    m_program.unloadSplash();
    m_files->newDocument();
    // Recovery copy: those left by programs that ended without saving are offered once the
    // window is up.
    QTimer::singleShot(0, this, [this] { offerRecoveryCopies(); });
}

// Recovery copy: offered as a command of its own, after any command still running (a file
// named on the command line may still be opening).
void MainWindow::offerRecoveryCopies() {
    if (m_busy) {
        QTimer::singleShot(100, this, [this] { offerRecoveryCopies(); });
        return;
    }
    runCommand([this] {
        m_recovery->offerOrphans(m_dialogs, [this](const RecoveredCopy& copy) {
            m_files->restore(copy.text, copy.file.name, copy.file.identity);
            return true;
        });
    });
}

void MainWindow::openFile(const QByteArray& path) {
    // Through the same guard as the menu's commands: a queued drop must not start while
    // another command runs.
    runCommand([this, path] {
        if (m_files->maySetAside()) {
            m_files->openFile(existingSpelling(absoluteFileName(path)));
        }
    });
}

void MainWindow::run(const MenuAction& action) {
    switch (action.command) {
        case Command::None:
            break;
        case Command::New:
            if (m_files->maySetAside()) {
                m_files->newDocument();
            }
            break;
        case Command::Open:
            m_files->open();
            break;
        case Command::Save:
            m_files->save();
            break;
        case Command::SaveAs:
            m_files->saveAs();
            break;
        case Command::Print:
            m_printing->print();
            break;
        case Command::PrinterSetup:
            m_printing->printerSetup();
            break;
        case Command::Exit:
            exitProgram();
            break;
        case Command::Undo:
            m_edit->undo();
            break;
        case Command::Cut:
            m_edit->cut();
            break;
        case Command::Copy:
            m_edit->copy();
            break;
        case Command::Paste:
            m_edit->paste();
            break;
        case Command::Delete:
            m_edit->deleteSelection();
            break;
        case Command::DateTime:
            m_edit->insertDateTime();
            break;
        case Command::StatusBar:
            toggleStatusBar();
            break;
        case Command::TextColour:
            m_appearance->chooseColor();
            break;
        case Command::TextLarger:
            m_appearance->enlarge();
            break;
        case Command::TextSmaller:
            m_appearance->reduce();
            break;
        case Command::TextStandard:
            m_appearance->standard();
            break;
        case Command::Replace:
            m_replace->run();
            break;
        case Command::SeriesOfAssignments:
            m_assignments->continuous();
            break;
        case Command::OneAssignment:
            m_assignments->single();
            break;
        case Command::InsertText:
            insertAtCaretOrRefuse(m_textBox, m_dialogs, {QString::fromUtf8(action.text)});
            break;
        case Command::InsertBlock:
            insertTemplate(m_textBox, m_dialogs, *action.block);
            break;
        case Command::HelpFile:
            ShowHelpFile(m_dialogs);
            break;
        case Command::About:
            m_program.showAbout();
            break;
    }
}

void MainWindow::runCommand(const std::function<void()>& command) {
    if (m_busy) {
        return;
    }
    // The application-wide filter sees every event before its target does, including those
    // that a nested event loop delivers while the command is still running.
    m_busy = true;
    qApp->installEventFilter(this);
    command();
    qApp->removeEventFilter(this);
    m_busy = false;
    if (m_closeDeferred) {
        m_closeDeferred = false;
        close();
    }
}

bool MainWindow::isInputForThisWindow(QObject* watched, QEvent* event) const {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
            break;
        default:
            return false;
    }
    // Dialogs shown by the command are windows of their own and keep their input.
    if (watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        return widget == this || isAncestorOf(widget);
    }
    // A menu item's shortcut is delivered to its action.
    auto* action = qobject_cast<QAction*>(watched);
    return action != nullptr && m_actions.value(action->objectName()) == action;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_busy && isInputForThisWindow(watched, event)) {
        return true;
    }
    if (watched == m_client && event->type() == QEvent::Resize) {
        layoutTextArea();
    }
    const bool textArea =
        watched == m_textBox.widget() || watched == m_textBox.widget()->viewport();
    if (textArea && event->type() == QEvent::ContextMenu) {
        showTextContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (textArea && takeFileDrop(event)) {
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    takeFileDrop(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    takeFileDrop(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    takeFileDrop(event);
}

bool MainWindow::takeFileDrop(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QByteArrayList paths = droppedFiles(drop->mimeData());
    if (paths.isEmpty()) {
        return false;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        // Opened once the drop is over, so the file manager is not kept waiting by a message;
        // each further file in a window of its own.
        QMetaObject::invokeMethod(
            this,
            [this, paths] {
                openFile(paths.first());
                openInWindowsOfTheirOwn(m_dialogs, paths.mid(1));
            },
            Qt::QueuedConnection);
    }
    return true;
}

void MainWindow::showTextContextMenu(const QPoint& globalPos) {
    QMenu* menu = makeTextContextMenu(
        m_textBox, [this](const QString& name) { return m_actions.value(name); }, globalPos, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        layoutTextArea();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A second close while the first one's question is open is the same request.
    if (m_closing) {
        event->ignore();
        return;
    }
    // Closing destroys the window, and with it the document a command is still working on.
    if (m_busy) {
        m_closeDeferred = true;
        event->ignore();
        return;
    }
    bool mayClose = false;
    m_closing = true;
    runCommand([this, &mayClose] { mayClose = m_files->maySetAside(); });
    m_closing = false;
    if (!mayClose) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::commitData(QSessionManager& manager) {
#ifndef QT_NO_SESSIONMANAGER
    const bool mayAsk = manager.allowsInteraction();
    const bool mayEnd = sessionMayEnd(mayAsk);
    if (mayAsk) {
        manager.release();
    }
    if (!mayEnd) {
        manager.cancel();
    }
#else
    Q_UNUSED(manager);
#endif
}

bool MainWindow::sessionMayEnd(bool mayAsk) {
    if (!m_textBox.isModified()) {
        return true;
    }
    if (!mayAsk) {
        // The session ends without a word from the user: the recovery copy keeps the text.
        m_recovery->writeNow();
        return true;
    }
    bool mayEnd = false;
    runCommand([this, &mayEnd] { mayEnd = m_files->maySetAside(); });
    return mayEnd;
}

void MainWindow::layoutTextArea() {
    // The text area fills the whole client area below the menu bar, with no room kept for the
    // status bar, which overlaps its bottom while shown; a minimised window leaves it 0 x 0.
    const QSize inner = isMinimized() ? QSize(0, 0) : m_client->size();
    m_textBox.widget()->setGeometry(0, 0, inner.width(), inner.height());
    const int barHeight = m_statusBar->height();
    m_statusBar->setGeometry(0, m_client->height() - barHeight, m_client->width(), barHeight);
    m_statusBar->raise();
}

void MainWindow::exitProgram() {
    // A modified document gets the one question about its changes instead of the Exit question.
    const bool mayEnd = m_textBox.isModified() ? m_files->maySetAside() : confirmExit(m_dialogs);
    if (mayEnd) {
        m_program.endProgram();
    }
}

void MainWindow::toggleStatusBar() {
    // Showing or hiding the bar leaves the text area where it is.
    // The check mark follows the bar's state, whichever way the item was chosen.
    m_statusShown = !m_statusShown;
    m_actions.value(QStringLiteral("mnustatus"))->setChecked(m_statusShown);
    m_statusBar->setVisible(m_statusShown);
}

}  // namespace ondrel
