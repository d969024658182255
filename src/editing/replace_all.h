#pragma once

#include <QString>
#include <QStringView>

namespace ondrel {

class Dialogs;
class TextBox;

// Every occurrence of search in text replaced by replacement: exact comparison, leftmost
// match first, occurrences never overlap and replaced text is never searched again.
// Linear in the text's length. An empty search changes nothing.
QString replaceAll(QStringView text, QStringView search, QStringView replacement);

// 検索置換: asks for the search and replacement strings, replaces every occurrence in the
// whole document as one undoable step and leaves the caret at the start. It borrows the
// text box and the dialogs.
class ReplaceCommand {
public:
    ReplaceCommand(TextBox& textBox, Dialogs& dialogs);
    void run();

private:
    TextBox& m_textBox;
    Dialogs& m_dialogs;
};

}  // namespace ondrel
