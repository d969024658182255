#pragma once

#include <QHash>
#include <QString>

#include <array>

class QAction;
class QMenuBar;

namespace ondrel {

// One row of the menu tree, in display order. Level 1 items form the menu bar; an item of
// level n+1 belongs to the nearest level-n item above it. The caption "-" is a separator.
struct MenuItem {
    int level;
    const char* name;
    const char* caption;   // UTF-8, "&" marks the access key
    const char* shortcut;  // QKeySequence text, or ""
};

extern const std::array<MenuItem, 71> kMenuTable;

enum class MenuItemKind { Menu, Command, Separator };

MenuItemKind menuItemKind(std::size_t row);

// Builds the whole tree into bar; every item's QAction (menus' and separators' included)
// carries the item's name as its object name. Returns the actions by name.
QHash<QString, QAction*> buildMenuBar(QMenuBar* bar);

}  // namespace ondrel
