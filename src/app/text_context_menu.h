#pragma once

#include <QString>

#include <functional>

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace ondrel {

class TextBox;

// The text area's right-click menu, opened at globalPos, in Japanese: on a character (clicked
// or at the caret) whose second byte is a backslash, an entry that writes the backslash Perl
// needs after it; then undo, cut, copy, paste and delete act through the Edit menu's items of
// the same names (menuItem gives an item by object name), select all selects the whole text,
// and each entry is enabled only when it can act. The caller owns the returned menu.
QMenu* makeTextContextMenu(TextBox& textBox,
                           const std::function<QAction*(const QString&)>& menuItem,
                           const QPoint& globalPos, QWidget* parent);

}  // namespace ondrel
