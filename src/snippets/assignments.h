#pragma once

#include <QString>

namespace ondrel {

class Dialogs;
class TextBox;

// The two prompted-assignment commands of 変数代入. They borrow the text box and the dialogs.
class AssignmentCommands {
public:
    AssignmentCommands(TextBox& textBox, Dialogs& dialogs);

    // 単独代入: one name and one value, one assignment.
    void single();
    // 連続代入: asks for a count, then for that many names and values.
    void continuous();

private:
    // Asks for one name and value and inserts the assignment; false when the user stopped or
    // the document would pass the text area's limit.
    bool askAndInsert();

    TextBox& m_textBox;
    Dialogs& m_dialogs;
};

}  // namespace ondrel
