#include <QTemporaryDir>
#include <QTest>

#include "app/menu_table.h"
#include "fixture.h"
#include "test_files.h"
#include "test_main.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

namespace {

// The document; the selection; the text inserted; the document after.
using Inserted = std::tuple<QString, int, int, QString, QString>;
// The item chosen; the answers to its prompts; the text it inserts, or "" for none.
using Assigned = std::tuple<QString, QStringList, QString>;

}  // namespace

class SnippetsTest : public QObject {
    Q_OBJECT
private slots:
    void insertAtCaret_data() {
        addColumns<Inserted>();
        addRow("middle of line", "abcdef", 3, 3, "XY", "abcXYdef");
        addRow("over selection", "abcdef", 1, 4, "Z", "aZef");
        addRow("crlf kept", "a\r\nb", 1, 1, "\r\nx\r\n", "a\r\nx\r\n\r\nb");
        addRow("lone cr and lf kept", "", 0, 0, "a\rb\nc", "a\rb\nc");
        addRow("japanese", "漢字", 1, 1, "ソ\\フト", "漢ソ\\フト字");
        addRow("nul is a character", "ab", 1, 1, QString::fromUtf8("x\0y", 3),
               QString::fromUtf8("ax\0yb", 5));
        addRow("empty text deletes selection", "abc", 0, 2, "", "c");
    }

    void insertAtCaret() {
        const auto [document, selStart, selEnd, inserted, expected] = fetchRow<Inserted>();
        Fixture f;
        f.setDocument(document, selStart, selEnd);
        InsertAtCaret(f.text(), inserted);
        InsertAtCaret(f.text(), QString());
        QCOMPARE(f.text().text(), expected);
        QCOMPARE(f.text().caretPosition(), selStart + inserted.size());
        QCOMPARE(f.text().selectionStart(), f.text().selectionEnd());
    }

    // Every item of the Project and Basic settings menus that inserts text, chosen in an empty
    // document, then all of them saved as one file: its bytes must be those of the committed file,
    // which was checked line by line against the texts users were promised (backslashes after
    // the characters whose second byte is 0x5C, ideographic spaces, CR LF everywhere).
    void everyInsertionSavesAsItsFile() {
        Fixture f;
        QString all;
        for (const MenuItem& item : kMenuTable) {
            const Command command = item.action.command;
            if (command != Command::InsertText && command != Command::InsertBlock) {
                continue;
            }
            const QString name = QString::fromLatin1(item.name);
            f.setDocument(QString(), 0, 0);
            f.choose(item.name);
            const QString text = f.text().text();
            QCOMPARE(f.text().caretPosition(), text.size());
            QCOMPARE(f.dialogs.calls().size(), 0);
            all += QStringLiteral("=== ") + name + QStringLiteral("\r\n") + text;
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("all.cgi"));
        f.setDocument(all, 0, 0);
        f.dialogs.pushText(path);
        f.choose("mnuNameSave");
        const QByteArray bytes = readBytes(path);
        const QByteArray want = readBytes(QFINDTESTDATA("data/snippets.cp932"));
        const auto same =
            std::mismatch(bytes.begin(), bytes.end(), want.begin(), want.end()).first -
            bytes.begin();
        QVERIFY2(bytes == want,
                 qPrintable(QStringLiteral("first difference at byte %1: ").arg(same) +
                            QString::fromLatin1(bytes.mid(same - 40, 80).toHex())));
    }

    void blockReplacesSelectionOnceAndUndoesAtOnce() {
        Fixture f;
        f.setDocument(QString(), 0, 0);
        f.choose("mnusearch");
        const QString block = f.text().text();
        f.setDocument(QStringLiteral("A[selected]B"), 1, 11);
        f.choose("mnusearch");
        QCOMPARE(f.text().text(), QStringLiteral("A") + block + QStringLiteral("B"));
        QCOMPARE(f.text().caretPosition(), 1 + block.size());
        f.text().undo();
        QCOMPARE(f.text().text(), QStringLiteral("A[selected]B"));
    }

    void assignmentPrompts_data() {
        addColumns<Assigned>();
        addRow("single", "mnuone", QStringList{"$a", "1"}, "$a = \"1\";\r\n\r\n");
        addRow("default $ accepted", "mnuone", QStringList{"$"}, "");
        addRow("empty value", "mnuone", QStringList{"$a", ""}, "");
        addRow("dollar and blank passes", "mnuone", QStringList{"$ ", "x"}, "$  = \"x\";\r\n\r\n");
        addRow("quote kept unescaped", "mnuone", QStringList{"$q", "say \"hi\" \\n $x @y"},
               "$q = \"say \"hi\" \\n $x @y\";\r\n\r\n");
        addRow("series of three", "mnurenzoku", QStringList{"3", "$a", "1", "$b", "2", "@c", "3"},
               "$a = \"1\";\r\n\r\n$b = \"2\";\r\n\r\n@c = \"3\";\r\n\r\n");
        addRow("cancel at second of three", "mnurenzoku", QStringList{"3", "$a", "1", ""},
               "$a = \"1\";\r\n\r\n");
        for (const char* count : {"0", "-2", "", "abc", "2.5", "3x", "99999999999"}) {
            QTest::addRow("count '%s'", count) << "mnurenzoku" << QStringList{count} << "";
        }
    }

    void assignmentPrompts() {
        const auto [item, answers, inserted] = fetchRow<Assigned>();
        Fixture f;
        f.setDocument(QStringLiteral("<sel>"), 0, 5);
        for (const QString& answer : answers) {
            f.dialogs.pushText(answer);
        }
        f.choose(item.toLatin1().constData());
        // Every answer was asked for, and nothing more; the prompts say what they ask.
        QCOMPARE(f.dialogs.calls().size(), answers.size());
        QCOMPARE(f.dialogs.unexpectedCalls(), 0);
        for (const ScriptedDialogs::Call& call : f.dialogs.calls()) {
            QCOMPARE(call.title, QStringLiteral("変数作成"));
            const bool count = call.text == QStringLiteral("何個変数を作りますか？");
            const bool name = call.text == QStringLiteral("変数名を入力してください。");
            QVERIFY(count || name || call.text == QStringLiteral("値を入力してください。"));
            QCOMPARE(call.defaultText, name ? QStringLiteral("$") : QString());
        }
        QCOMPARE(f.text().text(), inserted.isEmpty() ? QStringLiteral("<sel>") : inserted);
    }
};

ONDREL_TEST_MAIN(SnippetsTest)
#include "test_snippets.moc"
