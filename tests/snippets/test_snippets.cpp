#include "app/menu_table.h"
#include "fixture.h"

using namespace ondrel;

class SnippetsTest : public QObject {
    Q_OBJECT
private slots:
    // Every item of the Project and Basic settings menus that inserts text, chosen over a
    // selection, which it replaces (one Undo takes it all back), then all of them saved as one
    // file: its bytes must be those of the committed file, which was checked line by line against
    // the texts users were promised (backslashes after the characters whose second byte is 0x5C,
    // ideographic spaces, CR LF everywhere).
    void everyInsertionSavesAsItsFile() {
        Fixture f;
        QString all;
        for (const MenuItem& item : kMenuTable) {
            const Command command = item.action.command;
            if (command != Command::InsertText && command != Command::InsertBlock) {
                continue;
            }
            const QString name = QString::fromLatin1(item.name);
            f.setDocument(QStringLiteral("A[selected]B"), 1, 11);
            f.choose(item.name);
            const QString text = f.text().text().chopped(1).mid(1);
            QCOMPARE(f.text().text(), "A" + text + "B");
            QCOMPARE(f.text().caretPosition(), 1 + text.size());
            QCOMPARE(f.dialogs.calls().size(), 0);
            f.text().undo();
            QCOMPARE(f.text().text(), QStringLiteral("A[selected]B"));
            all += QStringLiteral("=== ") + name + QStringLiteral("\r\n") + text;
        }
        const QString path = f.path("all.cgi");
        f.setDocument(all, 0, 0);
        f.dialogs.pushText(path);
        f.choose("mnuNameSave");
        // Line by line, so that a failure names the first line that differs.
        QCOMPARE(readBytes(path).split('\n'), readBytes(testData("snippets.cp932")).split('\n'));
    }

    void assignmentPrompts_data() { addRowsFromFile("assignments.tsv"); }

    void assignmentPrompts() {
        const QStringList answers = field("answers").split(u'|');
        Fixture f;
        f.setDocument(QStringLiteral("<sel>"), 0, 5);
        for (const QString& answer : answers) {
            f.dialogs.pushText(answer);
        }
        f.choose(qPrintable(field("item")));
        // Every answer was asked for, and nothing more; the prompts say what they ask.
        QCOMPARE(f.dialogs.calls().size(), answers.size());
        for (const ScriptedDialogs::Call& call : f.dialogs.calls()) {
            QCOMPARE(call.title, QStringLiteral("変数作成"));
            const bool count = call.text == QStringLiteral("何個変数を作りますか？");
            const bool name = call.text == QStringLiteral("変数名を入力してください。");
            QVERIFY(count || name || call.text == QStringLiteral("値を入力してください。"));
            QCOMPARE(call.defaultText, name ? QStringLiteral("$") : QString());
        }
        const QString inserted = field("inserted");
        QCOMPARE(f.text().text(), inserted.isEmpty() ? QStringLiteral("<sel>") : inserted);
    }
};

ONDREL_TEST_MAIN(SnippetsTest)
#include "test_snippets.moc"
