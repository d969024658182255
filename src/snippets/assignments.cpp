#include "snippets/assignments.h"

#include "platform/dialogs.h"
#include "text/insert_at_caret.h"
#include "text/size_limit.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

const QString kTitle = QStringLiteral("変数作成");

// The text of one prompted assignment: the name as typed, " = ", the value as typed between
// plain double quotes, ";" and two CR LF. Nothing is escaped and no sigil is added.
QString assignmentText(const QString& name, const QString& value) {
    return name + QLatin1String(" = \"") + value + QLatin1String("\";\r\n\r\n");
}

}  // namespace

AssignmentCommands::AssignmentCommands(TextBox& textBox, Dialogs& dialogs)
    : m_textBox(textBox), m_dialogs(dialogs) {}

bool AssignmentCommands::askAndInsert() {
    const QString name =
        m_dialogs.prompt(QStringLiteral("変数名を入力してください。"), kTitle, QStringLiteral("$"));
    // The default "$" accepted unchanged counts as a cancel; a "$ " or " " does not.
    if (name.isEmpty() || name == QLatin1String("$")) {
        return false;
    }
    const QString value =
        m_dialogs.prompt(QStringLiteral("値を入力してください。"), kTitle, QString());
    if (value.isEmpty()) {
        return false;
    }
    return insertAtCaretOrRefuse(m_textBox, m_dialogs, {assignmentText(name, value)});
}

void AssignmentCommands::single() {
    TextBox::UndoStep step(m_textBox);
    askAndInsert();
}

void AssignmentCommands::continuous() {
    const QString answer =
        m_dialogs.prompt(QStringLiteral("何個変数を作りますか？"), kTitle, QString());
    // Anything but a whole number (letters, a fraction, digits with other text, a number too
    // large to count) ends the command quietly, as an empty answer does.
    bool isNumber = false;
    const int count = answer.trimmed().toInt(&isNumber);
    if (!isNumber) {
        return;
    }
    // One undo step for the whole series; what earlier passes inserted stays when a later
    // prompt is cancelled.
    TextBox::UndoStep step(m_textBox);
    for (int pass = 1; pass <= count; ++pass) {
        if (!askAndInsert()) {
            return;
        }
    }
}

}  // namespace ondrel
