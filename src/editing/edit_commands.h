#pragma once

class QDateTime;
class QString;

namespace ondrel {

class Dialogs;
class TextBox;

// The Edit menu's commands on the text box's selection and the plain-text clipboard. Paste and
// the date stamp refuse, with a message, to grow the document past the text area's limit. It
// borrows the text box and the dialogs.
class EditCommands {
public:
    EditCommands(TextBox& textBox, Dialogs& dialogs);

    void undo();
    // Cut and Copy put the selection on the clipboard even when it is empty.
    void cut();
    void copy();
    // Replaces the selection with the clipboard's text ("" when it holds none).
    void paste();
    // Removes the selection and leaves the clipboard alone; nothing selected, nothing changes.
    void deleteSelection();
    // Inserts the current date and time, "yyyy/MM/dd H:mm:ss", with no line break.
    void insertDateTime();

    static QString dateTimeStamp(const QDateTime& moment);

private:
    TextBox& m_textBox;
    Dialogs& m_dialogs;
};

}  // namespace ondrel
