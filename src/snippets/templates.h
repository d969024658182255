#pragma once

#include <QString>

#include <vector>

namespace ondrel {

class Dialogs;
class TextBox;

// The lines of one piece of generated Perl, UTF-8, each without its CR LF.
using TemplateLines = std::vector<const char*>;

// A menu item that inserts constant Perl at the caret, in one or more pieces.
struct Template {
    const char* itemName;
    std::vector<TemplateLines> pieces;
};

// The HTML header line and the five routines of 基本設定.
extern const std::vector<Template> kRoutineTemplates;
// The bulletin-board, access-counter and search-engine settings blocks of 変数定義.
extern const std::vector<Template> kSettingsBlocks;

// One piece as inserted: every line followed by CR LF.
QString pieceText(const TemplateLines& lines);

// Inserts every piece at the caret in order, as one undo step of the text box; inserts
// nothing, and says so, when the whole would grow the document past the text area's limit.
void insertTemplate(TextBox& textBox, Dialogs& dialogs, const Template& entry);

}  // namespace ondrel
