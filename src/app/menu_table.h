#pragma once

#include <QHash>
#include <QString>

#include <array>

class QAction;
class QMenuBar;

namespace ondrel {

struct Template;

// What choosing a command item does. MainWindow handles every value in one switch, so a
// command without a handler does not compile cleanly (-Wswitch).
enum class Command {
    None,  // a menu or a separator
    New,
    Open,
    Save,
    SaveAs,
    Print,
    PrinterSetup,
    Exit,
    Undo,
    Cut,
    Copy,
    Paste,
    Delete,
    DateTime,
    StatusBar,
    TextColour,
    TextLarger,
    TextSmaller,
    TextStandard,
    Replace,
    SeriesOfAssignments,
    OneAssignment,
    InsertText,   // one constant text, as it stands
    InsertBlock,  // a template: every line followed by CR LF, in pieces
    HelpFile,
    About,
};

// The command of one item, with the text it inserts where it inserts one.
struct MenuAction {
    constexpr MenuAction(Command command = Command::None) : command(command) {}
    constexpr MenuAction(const char* text) : command(Command::InsertText), text(text) {}
    constexpr MenuAction(const Template& block) : command(Command::InsertBlock), block(&block) {}

    Command command;
    const char* text = nullptr;       // InsertText: UTF-8
    const Template* block = nullptr;  // InsertBlock
};

// One row of the menu tree, in display order. Level 1 items form the menu bar; an item of
// level n+1 belongs to the nearest level-n item above it. The caption "-" is a separator.
struct MenuItem {
    int level;
    const char* name;      // the action's object name
    const char* caption;   // UTF-8, "&" marks the access key
    const char* shortcut;  // QKeySequence text, or ""
    const char* gloss;     // what the item is, in English, for the reader of this table
    MenuAction action = {};
};

extern const std::array<MenuItem, 71> kMenuTable;

// Builds the whole tree into bar; every item's QAction (menus' and separators' included)
// carries the item's name as its object name. Returns the actions by name.
QHash<QString, QAction*> buildMenuBar(QMenuBar* bar);

}  // namespace ondrel
