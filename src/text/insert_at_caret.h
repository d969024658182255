#pragma once

#include <QString>

namespace ondrel {

class TextBox;

// The one way generated text enters the document: replaces the selection (or inserts at the
// caret) with text, character for character, and leaves the caret right after it with
// nothing selected. Adds no line break, converts nothing, moves no focus and keeps no state,
// so successive calls build one contiguous text.
void InsertAtCaret(TextBox& textBox, const QString& text);

}  // namespace ondrel
