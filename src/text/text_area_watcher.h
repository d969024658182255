#pragma once

#include <QAccessible>
#include <QObject>
#include <QString>

class QsciScintilla;

namespace ondrel {

// The edit notifications the text area asks Scintilla for: the insert check always, and all
// of them only while a screen reader listens.
long textAreaEditNotifications();

// Follows, for the text area, the input method's composition (committed where it was typed
// when a click moves the caret) and the screen reader's coming and going (the accessibility
// interface and the edit notifications it needs). While no screen reader is active, the text
// area named Text1 gets Qt's plain widget interface. Tab types a tab, as in a text box.
class TextAreaWatcher : public QObject, public QAccessible::ActivationObserver {
public:
    explicit TextAreaWatcher(QsciScintilla* editor);
    ~TextAreaWatcher() override;
    TextAreaWatcher(const TextAreaWatcher&) = delete;
    TextAreaWatcher& operator=(const TextAreaWatcher&) = delete;

    void accessibilityActiveChanged(bool active) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void commitComposition();

    QsciScintilla* m_editor;
    QString m_preedit;
};

}  // namespace ondrel
