#include <QClipboard>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>

#include <sys/stat.h>
#include <unistd.h>

#include "app/program.h"
#include "documents/document_file.h"
#include "fixture.h"
#include "platform/help_viewer.h"
#include "platform/qt_dialogs.h"

using namespace ondrel;

// The Qt dialogs the program shows, and its help viewer.
class QtDialogsTest : public QObject {
    Q_OBJECT
    QuietOffscreen m_quiet;

private slots:
    void exitQuestionInJapanese() {
        if (!loadJapaneseStandardTexts(*QCoreApplication::instance())) {
            QSKIP("qtbase_ja.qm (Debian qt6-translations-l10n) is not installed");
        }
        QtDialogs dialogs;
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen << box->windowTitle() << box->text() << box->button(QMessageBox::Yes)->text()
                 << box->button(QMessageBox::No)->text();
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!confirmExit(dialogs));
        QCOMPARE(seen, QStringList({"終了", "Ondrel を終了しますか？", "はい(&Y)", "いいえ(&N)"}));
    }

    // A box that comes unbidden takes no letter typed into it as an answer, only Enter,
    // Escape or a click: N and Y change nothing, and Escape after them cancels.
    void unbiddenBoxTakesNoLetters() {
        QtDialogs dialogs;
        QTimer::singleShot(0, [] { QTest::keyClicks(QApplication::activeModalWidget(), "ny"); });
        // After the 100 ms a key's click takes to show.
        QTimer::singleShot(
            300, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
        QCOMPARE(dialogs.message("x", "x", MessageButtons::YesNoCancelNoAccessKeys,
                                 MessageIcon::Question, MessageAnswer::Yes),
                 MessageAnswer::Cancel);
    }

    // The test's own locale is C; the file dialog still lists a file's size and date the way
    // the program's default locale writes them.
    void fileDialogInJapaneseFormats() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.cgi"));
        QVERIFY(writeWholeFile(QFile::encodeName(path), QByteArray(1536, 'a')).ok());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)),
                                 QFileDevice::FileModificationTime));
        QtDialogs dialogs;
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            const auto* view = dialog->findChild<QTreeView*>("treeView");
            const QAbstractItemModel* list = view->model();
            QModelIndexList rows;  // the folder is listed in the background
            QTRY_VERIFY(!(rows = list->match(list->index(0, 0, view->rootIndex()), Qt::DisplayRole,
                                             "a.cgi", 1, Qt::MatchExactly))
                             .isEmpty());
            seen << rows[0].siblingAtColumn(1).data().toString()
                 << rows[0].siblingAtColumn(3).data().toString();
            dialog->reject();
        });
        QCOMPARE(dialogs.openFileName(path, {}), QString());
        QCOMPARE(seen, QStringList({"1.50 KiB", "2026/12/06 9:05"}));
    }

    void progressWindowCannotBeDismissed() {
        QtDialogs dialogs;
        const std::unique_ptr<Progress> progress = dialogs.startProgress(QStringLiteral("x"));
        QProgressDialog* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            window = window != nullptr ? window : qobject_cast<QProgressDialog*>(w);
        }
        QVERIFY(window != nullptr);
        window->show();
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(window->isVisible());
        QVERIFY(!window->close());
    }

    // A prompt takes a pasted text longer than a line edit takes by default whole: a search
    // cut short could match where the whole would not.
    void promptTakesLongPastedText() {
        const QString pasted(40001, u'a');
        QTimer::singleShot(0, [&pasted] {
            auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(prompt != nullptr);
            QGuiApplication::clipboard()->setText(pasted);
            prompt->findChild<QLineEdit*>()->paste();
            prompt->accept();
        });
        QtDialogs dialogs;
        QCOMPARE(dialogs.prompt(QStringLiteral("検索する文字列"), QStringLiteral("検索置換"), {}),
                 pasted);
    }

    void helpViewerShowsFileOrSaysMissing_data() { addRowsFromFile("help_files.tsv"); }
    void helpViewerShowsFileOrSaysMissing() {
        const QString what = field("what");
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("help.hlp"));
        if (what == "file" || what == "large") {
            writeBytes(path, QStringLiteral("<h1>ファイル</h1><p>新規作成</p>")
                                 .toUtf8()
                                 .repeated(what == "file" ? 1 : 200000));
        } else if (what == "fifo") {
            QVERIFY(mkfifo(QFile::encodeName(path), 0600) == 0);
        } else if (what == "zero") {
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        }
        HelpViewer viewer;
        alarm(5);  // a viewer that waits for the file ends the test instead of hanging it
        viewer.showFile(path);
        alarm(0);
        QVERIFY(viewer.isVisible());
        QCOMPARE(viewer.findChild<QTextBrowser*>()->toPlainText(),
                 !field("shown").isEmpty() ? QStringLiteral("ファイル\n新規作成")
                                           : "ヘルプファイルが見つかりません。\n" + path);
    }
};

ONDREL_TEST_MAIN(QtDialogsTest)
#include "test_qt_dialogs.moc"
