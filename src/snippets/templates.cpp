#include "snippets/templates.h"

#include "text/insert_at_caret.h"

namespace ondrel {

QString pieceText(const TemplateLines& lines) {
    QString text;
    for (const char* line : lines) {
        text += QString::fromUtf8(line);
        text += QLatin1String("\r\n");
    }
    return text;
}

void insertTemplate(TextBox& textBox, Dialogs& dialogs, const Template& entry) {
    QStringList pieces;
    for (const TemplateLines& lines : entry.pieces) {
        pieces.append(pieceText(lines));
    }
    insertAtCaretOrRefuse(textBox, dialogs, pieces);
}

}  // namespace ondrel
