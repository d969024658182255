#include "text/insert_at_caret.h"

#include "text/size_limit.h"
#include "text/text_box.h"

namespace ondrel {

void InsertAtCaret(TextBox& textBox, const QString& text) {
    textBox.replaceSelection(text);
}

bool insertAtCaretOrRefuse(TextBox& textBox, Dialogs& dialogs, const QStringList& pieces) {
    qsizetype bytes = 0;
    for (const QString& piece : pieces) {
        bytes += utf8Length(piece);
    }
    // All pieces or none: a block cut off after its first piece would be half a script.
    if (!editableOrRefuse(textBox, dialogs) || !insertionFitsOrRefuse(textBox, dialogs, bytes)) {
        return false;
    }
    TextBox::UndoStep step(textBox);
    for (const QString& piece : pieces) {
        InsertAtCaret(textBox, piece);
    }
    return true;
}

}  // namespace ondrel
