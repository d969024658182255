#pragma once

#include <QString>

#include <vector>

namespace ondrel {

class Dialogs;
class TextBox;

// The lines of one piece of generated Perl, UTF-8, each without its CR LF.
using TemplateLines = std::vector<const char*>;

// Constant Perl that a menu item inserts at the caret, in one or more pieces.
struct Template {
    std::vector<TemplateLines> pieces;
};

// The HTML header line and the five routines of 基本設定.
extern const Template kHtmlHeader;
extern const Template kGetTimeRoutine;
extern const Template kHostRoutine;
extern const Template kFormDataRoutine;
extern const Template kBrowserRoutine;
extern const Template kErrorRoutine;
// The bulletin-board, access-counter and search-engine settings blocks of 変数定義.
extern const Template kBulletinBoardSettings;
extern const Template kAccessCounterSettings;
extern const Template kSearchEngineSettings;

// One piece as inserted: every line followed by CR LF.
QString pieceText(const TemplateLines& lines);

// Inserts every piece at the caret in order, as one undo step of the text box; inserts
// nothing, and says so, when the whole would grow the document past the text area's limit.
void insertTemplate(TextBox& textBox, Dialogs& dialogs, const Template& entry);

}  // namespace ondrel
