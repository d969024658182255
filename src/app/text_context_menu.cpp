#include "app/text_context_menu.h"

#include <Qsci/qsciscintilla.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include "editing/backslash_marks.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

enum class ActsWhen { Separator, CanUndo, Selection, ClipboardText, AnyText };

struct Entry {
    const char* caption;
    const char* menuItem;  // the Edit menu's item it acts through; null for select all
    ActsWhen when;
};

// In the order of the text box menu of the desktop the program was made for.
constexpr Entry kEntries[] = {
    {"元に戻す(&U)", "mnuUndo", ActsWhen::CanUndo},
    {nullptr, nullptr, ActsWhen::Separator},
    {"切り取り(&T)", "mnuCut", ActsWhen::Selection},
    {"コピー(&C)", "mnuCopy", ActsWhen::Selection},
    {"貼り付け(&P)", "mnuPaste", ActsWhen::ClipboardText},
    {"削除(&D)", "mnuDelete", ActsWhen::Selection},
    {nullptr, nullptr, ActsWhen::Separator},
    {"すべて選択(&A)", nullptr, ActsWhen::AnyText},
};

bool canAct(ActsWhen when, TextBox& textBox) {
    switch (when) {
        case ActsWhen::CanUndo:
            return textBox.canUndo();
        case ActsWhen::Selection:
            return textBox.widget()->hasSelectedText();
        case ActsWhen::ClipboardText:
            return !QGuiApplication::clipboard()->text().isEmpty();
        case ActsWhen::AnyText:
            return textBox.widget()->length() > 0;
        case ActsWhen::Separator:
            break;
    }
    return false;
}

}  // namespace

QMenu* makeTextContextMenu(TextBox& textBox,
                           const std::function<QAction*(const QString&)>& menuItem,
                           const QPoint& globalPos, QWidget* parent) {
    auto* menu = new QMenu(parent);
    // On a character whose second byte is a backslash, the remedy first: it is always right.
    if (BackslashMarks::backslashRemedyAt(textBox.widget(), globalPos) >= 0) {
        QAction* remedy = menu->addAction(QStringLiteral("直後に \\ を挿入(&B)"));
        QObject::connect(remedy, &QAction::triggered, menu, [&textBox, globalPos] {
            const long at = BackslashMarks::backslashRemedyAt(textBox.widget(), globalPos);
            if (at >= 0) {
                textBox.replaceUtf8(at, at, "\\");
                textBox.widget()->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, at + 1);
            }
        });
        menu->addSeparator();
    }
    for (const Entry& entry : kEntries) {
        if (entry.when == ActsWhen::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(entry.caption));
        action->setEnabled(canAct(entry.when, textBox));
        if (entry.menuItem == nullptr) {
            QObject::connect(action, &QAction::triggered, menu,
                             [&textBox] { textBox.widget()->selectAll(true); });
            continue;
        }
        // Triggering the Edit menu's own item runs exactly the command the menu bar runs.
        QAction* item = menuItem(QString::fromLatin1(entry.menuItem));
        QObject::connect(action, &QAction::triggered, item, [item] { item->trigger(); });
    }
    return menu;
}

}  // namespace ondrel
