#include "text/insert_at_caret.h"

#include "text/text_box.h"

namespace ondrel {

void InsertAtCaret(TextBox& textBox, const QString& text) {
    textBox.replaceSelection(text);
}

}  // namespace ondrel
