#include "snippets/templates.h"

#include "text/insert_at_caret.h"
#include "text/text_box.h"

namespace ondrel {

QString pieceText(const TemplateLines& lines) {
    QString text;
    for (const char* line : lines) {
        text += QString::fromUtf8(line);
        text += QLatin1String("\r\n");
    }
    return text;
}

void insertTemplate(TextBox& textBox, const Template& entry) {
    TextBox::UndoStep step(textBox);
    for (const TemplateLines& piece : entry.pieces) {
        InsertAtCaret(textBox, pieceText(piece));
    }
}

}  // namespace ondrel
