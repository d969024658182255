#include "text/text_area_watcher.h"

#include <Qsci/qsciscintilla.h>

#include <QAccessibleWidget>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace ondrel {

namespace {

// Whether a screen reader listens: as Qt says at start, then as its activation news says.
bool& screenReaderActive() {
    static bool active = QAccessible::isActive();
    return active;
}

// QScintilla's own accessibility object turns every caret move and every edit into a count
// of characters from the start of the document, so typing at the end of a large document
// slows down with its size even when no screen reader listens. While none is active, the
// text area gets Qt's plain widget interface instead, and of the edit notifications only those
// sent before text is inserted or deleted stay on: QScintilla counts characters only for the
// ones sent after, and the Perl backslash marks need no more than these.
QAccessibleInterface* plainWhileNoScreenReader(const QString&, QObject* object) {
    if (!screenReaderActive() && object != nullptr &&
        object->objectName() == QLatin1String("Text1") && object->inherits("QsciScintillaBase")) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
    }
    return nullptr;
}

}  // namespace

long textAreaEditNotifications() {
    // The insert check is always on: it costs one call per insertion and guards the limit.
    return QsciScintillaBase::SC_MOD_INSERTCHECK |
           (screenReaderActive()
                ? QsciScintillaBase::SC_MODEVENTMASKALL
                : QsciScintillaBase::SC_MOD_BEFOREINSERT | QsciScintillaBase::SC_MOD_BEFOREDELETE);
}

TextAreaWatcher::TextAreaWatcher(QsciScintilla* editor) : m_editor(editor) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(plainWhileNoScreenReader);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    m_editor->installEventFilter(this);
    m_editor->viewport()->installEventFilter(this);
    QAccessible::installActivationObserver(this);
}

TextAreaWatcher::~TextAreaWatcher() {
    QAccessible::removeActivationObserver(this);
}

// A screen reader started (or stopped) after the text area was made: the interface Qt keeps
// for it was chosen for the other state, so it is dropped and the factories are asked again
// on the next query.
void TextAreaWatcher::accessibilityActiveChanged(bool active) {
    screenReaderActive() = active;
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                            static_cast<unsigned long>(textAreaEditNotifications()));
    QAccessibleInterface* cached = QAccessible::queryAccessibleInterface(m_editor);
    if (cached != nullptr && (cached->textInterface() != nullptr) != active) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
    }
}

bool TextAreaWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::InputMethod) {
        // The editor shows a preedit only when the event commits nothing.
        const auto* input = static_cast<QInputMethodEvent*>(event);
        m_preedit = input->commitString().isEmpty() ? input->preeditString() : QString();
    } else if (watched == m_editor->viewport() && event->type() == QEvent::MouseButtonPress &&
               !m_preedit.isEmpty()) {
        commitComposition();
    } else if (watched == m_editor && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::Key_Tab)) {
        // A tab replaces the selection, as in a text box. The editor's own Tab would indent
        // every selected line, or turn the spaces before the caret into a tab.
        m_editor->SendScintilla(QsciScintillaBase::SCI_REPLACESEL, "\t");
        return true;
    }
    return false;
}

// The composition is committed where it was typed before a click moves the caret, as Qt's own
// text widgets do; left pending, the editor would keep drawing it there and carry it to the
// new caret with the next key.
void TextAreaWatcher::commitComposition() {
    // Input methods differ: IBus commits on commit(); fcitx5 ignores that and commits its
    // shown text on reset(), which also ends the composition on its side. Either answers at
    // once with a commit event, which empties m_preedit.
    QGuiApplication::inputMethod()->commit();
    if (!m_preedit.isEmpty()) {
        QGuiApplication::inputMethod()->reset();
    }
    if (!m_preedit.isEmpty()) {
        // No input method took the request (none runs, or it dropped the text without a
        // word): the text it showed is committed as shown.
        QInputMethodEvent commit;
        commit.setCommitString(m_preedit);
        QCoreApplication::sendEvent(m_editor, &commit);
    }
}

}  // namespace ondrel
