#include "snippets/templates.h"

#include "text/insert_at_caret.h"
#include "text/size_limit.h"
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

void insertTemplate(TextBox& textBox, Dialogs& dialogs, const Template& entry) {
    std::vector<QString> pieces;
    qsizetype bytes = 0;
    for (const TemplateLines& lines : entry.pieces) {
        pieces.push_back(pieceText(lines));
        bytes += utf8Length(pieces.back());
    }
    // All pieces or none: a block cut off after its first piece would be half a script.
    if (!insertionFitsOrRefuse(textBox, dialogs, bytes)) {
        return;
    }
    TextBox::UndoStep step(textBox);
    for (const QString& piece : pieces) {
        InsertAtCaret(textBox, piece);
    }
}

}  // namespace ondrel
