#pragma once

#include <QString>
#include <QStringList>

namespace ondrel {

class Dialogs;
class TextBox;

// The one way generated text enters the document: replaces the selection (or inserts at the
// caret) with text, character for character, and leaves the caret right after it with
// nothing selected. Adds no line break, converts nothing, moves no focus and keeps no state,
// so successive calls build one contiguous text.
void InsertAtCaret(TextBox& textBox, const QString& text);

// Inserts pieces at the caret one after the other as one undo step, or, when the whole would
// grow the document past the text area's limit, nothing at all and says so. True when
// inserted.
bool insertAtCaretOrRefuse(TextBox& textBox, Dialogs& dialogs, const QStringList& pieces);

}  // namespace ondrel
