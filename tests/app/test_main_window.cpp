#include <Qsci/qsciscintilla.h>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>

#include <sys/stat.h>
#include <unistd.h>

#include "app/command_line.h"
#include "app/menu_table.h"
#include "app/status_bar.h"
#include "documents/document_file.h"
#include "documents/file_commands.h"
#include "fixture.h"
#include "info/splash_window.h"

using namespace ondrel;

namespace {

// A dropped list of files as the file manager sends it; QMimeData would rewrite it through QUrl.
struct RawUriList : QMimeData {
    QByteArray list;
    QStringList formats() const override {
        return list.isEmpty() ? QMimeData::formats()
                              : QMimeData::formats() << QStringLiteral("text/uri-list");
    }
    QVariant retrieveData(const QString& format, QMetaType type) const override {
        return format == u"text/uri-list" ? QVariant(list) : QMimeData::retrieveData(format, type);
    }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The bar and its check mark follow each other; the bar lies over the bottom of the text
    // area, which stays where it was. At any size, and minimised then restored, the text area
    // fills the client area.
    void layout() {
        Fixture f;
        auto* bar = f.window.findChild<StatusBar*>(QStringLiteral("StatusBar1"));
        QWidget* client = f.window.centralWidget();
        for (bool shown : {false, true, false, true}) {
            QCOMPARE(bar->isVisibleTo(&f.window), shown);
            QCOMPARE(f.window.action("mnustatus")->isChecked(), shown);
            QCOMPARE(f.text().widget()->geometry(), client->rect());
            f.choose("mnustatus");
        }
        QCOMPARE(bar->geometry(), QRect(0, client->height() - 25, client->width(), 25));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(bar->panel(i)->width() >= 96);
        }
        const QDate today = QDate::currentDate();
        QCOMPARE(bar->panel(3)->text(),
                 QString::asprintf("%04d/%02d/%02d", today.year(), today.month(), today.day()));
        for (const QSize size : {QSize(489, 440), QSize(20, 30), QSize(1200, 200), QSize()}) {
            if (size.isEmpty()) {
                f.window.setWindowState(Qt::WindowMinimized);
                QCoreApplication::processEvents();
                QCOMPARE(f.text().widget()->size(), QSize(0, 0));
                f.window.setWindowState(Qt::WindowNoState);
            } else {
                f.window.resize(size);
            }
            QCoreApplication::processEvents();
            QCOMPARE(f.text().widget()->geometry(), f.window.centralWidget()->rect());
            QVERIFY(!f.text().widget()->size().isEmpty());
        }
    }

    // Every shortcut of the menus, typed in the text area, reaches its menu item, and none of
    // the editor's own bindings (lower case, duplicate, transpose, clipboard) runs.
    void ctrlKeysInTextAreaReachMenu() {
        Fixture f;
        QVERIFY(QTest::qWaitForWindowActive(&f.window));
        QsciScintilla* editor = f.text().widget();
        editor->setFocus();
        for (const MenuItem& item : kMenuTable) {
            const QKeySequence shortcut(item.shortcut);
            if (shortcut.isEmpty()) {
                continue;
            }
            QAction* action = f.window.action(QString::fromLatin1(item.name));
            QSignalSpy spy(action, &QAction::triggered);
            // Keep the command itself from acting, so only where the key went is observed.
            disconnect(action, &QAction::triggered, &f.window, nullptr);
            f.setDocument(QStringLiteral("abc\r\ndef\r\n"), 0, 3);
            QTest::keyClick(editor, shortcut[0].key(), shortcut[0].keyboardModifiers());
            QVERIFY2(spy.count() == 1, item.name);
            QCOMPARE(f.text().text(), QStringLiteral("abc\r\ndef\r\n"));
        }
    }

    void textMenu_data() { addRowsFromFile("text_menu.tsv"); }
    void textMenu() {
        Fixture f;
        f.setDocument(field("document"), 0, 0);
        if (!field("edited").isEmpty()) {
            f.text().replaceSelection(QStringLiteral("0"));
            f.text().select(4, 8);
        }
        QGuiApplication::clipboard()->setText(field("clipboard"));
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
        QApplication::sendEvent(f.text().widget()->viewport(), &event);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        const QStringList entries = {"undo", "", "cut", "copy", "paste", "delete", "", "all"};
        QStringList captions;
        QStringList enabled;
        for (QAction* action : menu->actions()) {
            captions << action->text();
            if (action->isEnabled() && !action->isSeparator()) {
                enabled << entries.value(captions.size() - 1);
            }
        }
        QCOMPARE(captions.join(u' '),
                 "元に戻す(&U)  切り取り(&T) コピー(&C) 貼り付け(&P) 削除(&D)  すべて選択(&A)");
        QCOMPARE(enabled.join(u' '), field("enabled"));
        menu->actions().at(entries.indexOf(field("chosen")))->trigger();
        menu->close();
        QCOMPARE(f.text().text() + '|' + f.text().selectedText() + '|' +
                     QGuiApplication::clipboard()->text(),
                 field("after"));
    }

    void commandLine_data() { addRowsFromFile("command_lines.tsv"); }
    void commandLine() {
        QByteArrayList given;
        for (const QString& word : field("arguments").split(u' ', Qt::SkipEmptyParts)) {
            given << word.toUtf8();
        }
        const CommandLine line = parseCommandLine(given);
        const QString requests[] = {line.files.join(u'|'), "help", "version",
                                    "unknown " + line.unknownOption};
        QCOMPARE(requests[int(line.request)], field("asked"));
        QCOMPARE(QString::number(line.optionsEnd), field("qtReads"));
    }

    void opensFile_data() { addRowsFromFile("opened_files.tsv"); }
    void opensFile() {
        const QString how = field("how");
        const QString names = field("names");
        ProgramFixture f;
        const auto clear = qScopeGuard([&] { removeTree(f.dir.path()); });
        const QString name = names.section(u' ', 0, 0);
        const QString path = f.path(name);
        const auto bytesOf = [&](const QString& each) {
            return QFile::encodeName(f.dir.path()) + '/' +
                   (each == u"表示.cgi" ? QByteArray("\x95\x5c\x8e\xa6.cgi") : each.toUtf8());
        };
        for (const char* each : {"a.cgi", "表示.cgi"}) {
            QVERIFY(writeWholeFile(bytesOf(each), "abc\x93\xfa\x96\x7b\r\n").ok());
        }
        // Named relative to a working folder whose full name passes the system's limit.
        const bool deep = how == u"deep";
        const QByteArray level(250, 'd');
        const QString home = QDir::currentPath();
        const auto leave = qScopeGuard([&] {
            if (deep) {
                ::unlink("a.cgi");
                for (int depth = 0; depth < 20; ++depth) {
                    QVERIFY(::chdir("..") == 0 && ::rmdir(level) == 0);
                }
            }
            QDir::setCurrent(home);
        });
        for (int depth = 0; deep && depth < 20; ++depth) {
            QVERIFY((depth > 0 || ::chdir(QFile::encodeName(f.dir.path())) == 0) &&
                    ::mkdir(level, 0700) == 0 && ::chdir(level) == 0);
        }
        QVERIFY(!deep || writeWholeFile("a.cgi", "abc\x93\xfa\x96\x7b\r\n").ok());
        MainWindow* window = nullptr;
        if (how != u"Text1" && how != u"Form1") {
            // typed: the name as it reads, in UTF-8, for a file named in Shift_JIS.
            f.program.start(how == u"relative"
                                ? QFile::encodeName(QDir::current().relativeFilePath(path))
                            : how == u"typed" ? QFile::encodeName(path)
                            : deep            ? QByteArray("a.cgi")
                                              : bytesOf(name));
            QVERIFY(f.program.form1() == nullptr);  // the splash comes first, as always
            QTest::mouseClick(f.program.frmSplash(), Qt::LeftButton, {}, QPoint(4, 4));
            window = f.program.form1();
        } else {
            window = &f.program.showForm1();
            RawUriList data;
            // The short form some programs send, and a host named as this machine.
            for (const QString& each : names.split(u' ', Qt::SkipEmptyParts)) {
                data.list += (how == u"Text1" ? "file:" : "FILE://localhost") +
                             bytesOf(each).toPercentEncoding("/") + "\r\n";
            }
            data.setText(QStringLiteral("dropped "));  // file managers offer the path as text too
            QWidget* target = how == u"Form1" ? window : window->textBox().widget()->viewport();
            QDragEnterEvent enter({3, 3}, Qt::CopyAction, &data, Qt::LeftButton, {});
            QDragMoveEvent move({3, 3}, Qt::CopyAction, &data, Qt::LeftButton, {});
            QDropEvent dropped({3, 3}, Qt::CopyAction, &data, Qt::LeftButton, {});
            for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &dropped}) {
                QApplication::sendEvent(target, event);
            }
            QCoreApplication::processEvents();
        }
        const bool opens = name == u"a.cgi" || name == u"表示.cgi";
        QCOMPARE(window->textBox().text(), field("text"));
        // Dropped text is a change to the document; a file that does not open is none.
        const QString fresh = name.isEmpty() ? "Ondrel [project]*" : "Ondrel [project]";
        QCOMPARE(window->windowTitle(), opens ? "Ondrel [" + (deep ? name : path) + "]" : fresh);
        QCOMPARE(window->files().fileName(),
                 opens ? (deep ? name.toUtf8() : bytesOf(name)) : QByteArray());
        QCOMPARE(f.dialogs.calls().size(),
                 (opens || name.isEmpty()) && !names.contains(u' ') ? 0 : 1);
        QVERIFY(name != u"no.pl" ||  // Open's own message
                f.dialogs.calls()[0].text.startsWith("ファイルを開けません。\r\n" + path));
        QVERIFY(!names.contains(u' ') || (f.dialogs.calls()[0].kind == "editor" &&
                                          f.dialogs.calls()[0].text == f.path("b.cgi")));
        if (deep) {  // and saved back by it, over the file
            window->textBox().replaceSelection(QStringLiteral("x"));
            window->action(QStringLiteral("mnuupsave"))->trigger();
            QCOMPARE(readBytes(QStringLiteral("a.cgi")), QByteArray("xabc\x93\xfa\x96\x7b\r\n"));
        }
    }

    void nothingReachesWindowWhileOpening() {
        Fixture f;
        const QString oldPath = f.path("a.cgi");
        const QString newPath = f.path("big.cgi");
        const QByteArray oldBytes = "print 1;\r\n";
        // Several chunks of the text area's load, so the load can be caught half done.
        const QByteArray newBytes = QByteArray("print \"hello\";\r\n").repeated(100000);
        f.open(oldPath, oldBytes);
        f.dialogs.clear();
        QWidget* text = f.text().widget();
        bool tried = false;
        f.dialogs.duringProgress = [&](int percent) {
            if (tried || percent <= 50 || percent >= 100) {
                return;
            }
            tried = true;
            QTest::keyClick(text, Qt::Key_Escape);
            f.choose("mnuupsave");
            f.choose("mnunew");
            QTest::keyClicks(text, "typed");
            QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
            QTest::mouseClick(f.text().widget()->viewport(), Qt::LeftButton);
            f.window.close();
            QVERIFY(f.window.isVisible());
        };
        f.open(newPath, newBytes);
        QVERIFY(tried);
        QCOMPARE(f.text().text() + "\r\n", QString::fromLatin1(newBytes));
        QCOMPARE(f.window.windowTitle(), "Ondrel [" + newPath + "]");
        QCOMPARE(f.window.files().fileName(), newPath);
        QCOMPARE(readBytes(oldPath), oldBytes);
        QVERIFY(!f.text().canUndo());
        QCOMPARE(f.dialogs.calls().size(), 1);
        // The close asked for during the load happens once the load is over, saving nothing.
        QVERIFY(!f.window.isVisible());
        QCOMPARE(readBytes(newPath), newBytes);
    }
};

ONDREL_TEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
