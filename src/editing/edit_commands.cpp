#include "editing/edit_commands.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>

#include "text/insert_at_caret.h"
#include "text/text_box.h"

namespace ondrel {

EditCommands::EditCommands(TextBox& textBox, Dialogs& dialogs)
    : m_textBox(textBox), m_dialogs(dialogs) {}

void EditCommands::undo() {
    m_textBox.undo();
}

void EditCommands::cut() {
    QGuiApplication::clipboard()->setText(m_textBox.selectedText());
    InsertAtCaret(m_textBox, QString());
}

void EditCommands::copy() {
    QGuiApplication::clipboard()->setText(m_textBox.selectedText());
}

void EditCommands::paste() {
    insertAtCaretOrRefuse(m_textBox, m_dialogs, {QGuiApplication::clipboard()->text()});
}

void EditCommands::deleteSelection() {
    m_textBox.deleteSelection();
}

void EditCommands::insertDateTime() {
    // One reading of the clock for both parts, so a stamp taken at midnight stays consistent.
    insertAtCaretOrRefuse(m_textBox, m_dialogs, {dateTimeStamp(QDateTime::currentDateTime())});
}

QString EditCommands::dateTimeStamp(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy/MM/dd H:mm:ss"));
}

}  // namespace ondrel
