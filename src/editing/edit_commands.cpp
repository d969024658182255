#include "editing/edit_commands.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>

#include "text/insert_at_caret.h"
#include "text/text_box.h"

namespace ondrel {

EditCommands::EditCommands(TextBox& textBox) : m_textBox(textBox) {}

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
    InsertAtCaret(m_textBox, QGuiApplication::clipboard()->text());
}

void EditCommands::deleteSelection() {
    m_textBox.deleteSelection();
}

void EditCommands::insertDateTime() {
    // One reading of the clock for both parts, so a stamp taken at midnight stays consistent.
    InsertAtCaret(m_textBox, dateTimeStamp(QDateTime::currentDateTime()));
}

QString EditCommands::dateTimeStamp(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy/MM/dd H:mm:ss"));
}

}  // namespace ondrel
