#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>
#include <QAccessible>
#include <QClipboard>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include "app/command_line.h"
#include "app/standard_texts.h"
#include "documents/document_file.h"
#include "documents/file_commands.h"
#include "fixture.h"
#include "info/splash_window.h"
#include "platform/qt_dialogs.h"
#include "test_files.h"
#include "test_main.h"

using namespace ondrel;
using Sci = QsciScintillaBase;

// a.cgi holds "abc" and 日本 in code page 932.
const QString kOpened = QStringLiteral("abc日本");
const QString kFresh = QStringLiteral("#!/usr/local/bin/perl\r\n\r\n");

class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void textMenu_data() { addRowsFromFile(QFINDTESTDATA("../data/text_menu.tsv")); }
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

    void composition_data() { addRowsFromFile(QFINDTESTDATA("../data/typing.tsv")); }
    void composition() {
        QString before = field("before");
        Fixture f;
        QsciScintilla* editor = f.text().widget();
        const int caret = static_cast<int>(before.indexOf(u'|'));
        f.setDocument(before.remove(u'|'), caret, caret);
        for (const QString& step : field("steps").split(u' ')) {
            const QString arg = step.section(u':', 1);
            if (step.startsWith(u"p:") || step.startsWith(u"c:")) {
                QInputMethodEvent event(step[0] == u'p' ? arg : QString(), {});
                event.setCommitString(step[0] == u'c' ? arg : QString());
                QApplication::sendEvent(editor, &event);
            } else if (step.startsWith(u"k:")) {
                QTest::keyClicks(editor, arg);
            } else if (step.startsWith(u"K:")) {
                const QKeyCombination key = QKeySequence(arg)[0];
                QTest::keyClick(editor, key.key(), key.keyboardModifiers());
            } else if (step == u"click") {
                QTest::mouseClick(editor->viewport(), Qt::LeftButton, {},
                                  {editor->viewport()->width() - 4, 4});
            } else if (step.startsWith(u"s:")) {
                f.text().select(caret, arg.toInt());
            } else if (step == u"u") {
                f.choose("mnuUndo");
            }
        }
        QCOMPARE(f.text().text().insert(f.text().caretPosition(), u'|'), field("after"));
    }

    // The keys the text area binds itself: a text box's (the data file lists them); the menus'
    // Ctrl keys are not among them.
    void textAreaKeys() {
        Fixture f;
        QStringList bound;
        for (QsciCommand* command : f.text().widget()->standardCommands()->commands()) {
            bound << QKeySequence(command->key()).toString()
                  << QKeySequence(command->alternateKey()).toString();
        }
        bound.removeAll(QString());
        QStringList textBox = QString::fromUtf8(readBytes(QFINDTESTDATA("../data/text_area_keys.txt")))
                                  .split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        bound.sort();
        textBox.sort();
        QCOMPARE(bound, textBox);
    }

    void screenReaderGetsTextInterface() {
        Fixture f;
        QsciScintilla* editor = f.text().widget();
        // The notifications QScintilla turns into character counts: those sent after an edit.
        const long edits = Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT;
        for (const int step : {0, 1, 2}) {  // before a screen reader starts, while it runs, after
            if (step > 0) {
                QAccessible::setActive(step == 1);
            }
            QCOMPARE(QAccessible::queryAccessibleInterface(editor)->textInterface() != nullptr,
                     step == 1);
            QCOMPARE(editor->SendScintilla(Sci::SCI_GETMODEVENTMASK) & edits,
                     step == 1 ? edits : 0);
        }
    }

    void commandLine_data() { addRowsFromFile(QFINDTESTDATA("../data/command_lines.tsv")); }
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

    // Named on the command line, or dropped on a widget; the files' names (any further one
    // opens in a window of its own); the document after.
    void opensFile_data() {
        addColumns<std::tuple<QString, QString, QString>>();
        for (const char* how : {"argument", "Text1", "Form1"}) {
            QTest::addRow("%s, file", how) << QString(how) << "a.cgi" << kOpened;
            QTest::addRow("%s, cannot be opened", how) << QString(how) << "no.pl" << kFresh;
        }
        addRow("relative argument", "relative", "a.cgi", kOpened);
        addRow("text dropped on Text1", "Text1", "", "dropped " + kFresh);
        addRow("two files dropped on Form1", "Form1", "a.cgi b.cgi", kOpened);
    }
    void opensFile() {
        const auto [how, names, text] = fetchRow<std::tuple<QString, QString, QString>>();
        QTemporaryDir dir;
        const QString name = names.section(u' ', 0, 0);
        const QString path = dir.filePath(name);
        QVERIFY(writeWholeFile(dir.filePath("a.cgi"), "abc\x93\xfa\x96\x7b\r\n").ok());
        QuietOffscreen quiet;
        ScriptedDialogs dialogs;
        FakeRegistry registry;
        Program program(dialogs, registry);
        MainWindow* window = nullptr;
        if (how == u"argument" || how == u"relative") {
            program.start(how == u"relative" ? QDir::current().relativeFilePath(path) : path);
            QVERIFY(program.form1() == nullptr);  // the splash comes first, as always
            QTest::mouseClick(program.frmSplash(), Qt::LeftButton, {}, QPoint(4, 4));
            window = program.form1();
        } else {
            window = &program.showForm1();
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& each : names.split(u' ', Qt::SkipEmptyParts)) {
                urls << QUrl::fromLocalFile(dir.filePath(each));
            }
            if (!urls.isEmpty()) {
                data.setUrls(urls);
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
        const bool opens = name == u"a.cgi";
        QCOMPARE(window->textBox().text(), text);
        // Dropped text is a change to the document; a file that does not open is none.
        const QString fresh = name.isEmpty() ? "Ondrel [project]*" : "Ondrel [project]";
        QCOMPARE(window->windowTitle(), opens ? "Ondrel [" + path + "]" : fresh);
        QCOMPARE(window->files().fileName(), opens ? path : QString());
        QCOMPARE(dialogs.calls().size(), names == u"a.cgi" || name.isEmpty() ? 0 : 1);
        QVERIFY(name != u"no.pl" ||  // Open's own message
                dialogs.calls()[0].text.startsWith("ファイルを開けません。\r\n" + path));
        QVERIFY(!names.contains(u' ') || (dialogs.calls()[0].kind == "editor" &&
                                          dialogs.calls()[0].text == dir.filePath("b.cgi")));
    }

    // With no printer installed, Print says so and shows the way to print to a PDF file.
    void printWithoutPrinter() {
        if (!QPrinterInfo::availablePrinters().isEmpty()) {
            QSKIP("a printer is installed here");
        }
        Fixture f;
        f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Yes));
        f.choose("mnuPrint");
        QCOMPARE(f.dialogs.calls().size(), 2);
        QCOMPARE(f.dialogs.calls()[1].text,
                 "印刷できませんでした。\r\nプリンタがインストールされていません。\r\n"
                 "「プリンタの設定」で PDF ファイルへの印刷を選べます。");
    }

    void exitQuestionInJapanese() {
        if (!loadJapaneseStandardTexts(*QCoreApplication::instance())) {
            QSKIP("qtbase_ja.qm (Debian qt6-translations-l10n) is not installed");
        }
        QuietOffscreen quiet;
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

    // The test's own locale is C; the file dialog still lists a file's size and date the way
    // the program's default locale writes them.
    void fileDialogInJapaneseFormats() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.cgi"));
        QVERIFY(writeWholeFile(path, QByteArray(1536, 'a')).ok());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)),
                                 QFileDevice::FileModificationTime));
        QuietOffscreen quiet;
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
};

ONDREL_TEST_MAIN(DesktopTest)
#include "test_qt_dialogs.moc"
