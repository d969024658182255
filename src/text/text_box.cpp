#include "text/text_box.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QFont>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeySequence>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <utility>

#include "text/text_area_watcher.h"

namespace ondrel {

namespace {

// The moves of a text box, alone or with Shift to extend the selection; those by words and to
// the ends of the text also with Ctrl.
constexpr Qt::Key kMoves[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
constexpr Qt::Key kCtrlMoves[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_End};

// The other keys of a text box: deleting, the clipboard's Shift and Ctrl forms, select all,
// undo and redo, line breaks, tab, overtype and Escape.
// clang-format off
constexpr QKeyCombination kEditingKeys[] = {
    Qt::Key_Backspace, Qt::SHIFT | Qt::Key_Backspace, Qt::CTRL | Qt::Key_Backspace,
    Qt::Key_Delete, Qt::CTRL | Qt::Key_Delete, Qt::SHIFT | Qt::Key_Delete,
    Qt::SHIFT | Qt::Key_Insert, Qt::CTRL | Qt::Key_Insert, Qt::CTRL | Qt::Key_A,
    Qt::CTRL | Qt::Key_Z, Qt::ALT | Qt::Key_Backspace, Qt::CTRL | Qt::Key_Y, Qt::Key_Return,
    Qt::SHIFT | Qt::Key_Return, Qt::Key_Tab, Qt::Key_Insert, Qt::Key_Escape};
// clang-format on

template <typename Keys, typename Key>
bool contains(const Keys& keys, Key key) {
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
}

bool isTextBoxKey(int combined) {
    const QKeyCombination key = QKeyCombination::fromCombined(combined);
    const Qt::KeyboardModifiers withoutShift = key.keyboardModifiers() & ~Qt::ShiftModifier;
    return (withoutShift == Qt::NoModifier &&
            (contains(kMoves, key.key()) || contains(kCtrlMoves, key.key()))) ||
           (withoutShift == Qt::ControlModifier && contains(kCtrlMoves, key.key())) ||
           contains(kEditingKeys, key);
}

// Appending in chunks keeps each Scintilla call small and never holds a UTF-8 copy of the
// whole text. A chunk never ends inside a surrogate pair or between the CR and LF of one line
// break.
constexpr qsizetype kChunkUnits = 1 << 19;

// Scintilla keeps positions in 64 bits, but its line layouts and some of its counts are
// 32-bit: past 2 GiB of UTF-8 it draws garbage and aborts on the next keystroke. Half of that
// leaves room for what a document carries besides its text (the undo history holds removed
// text, the gap buffer grows ahead of the text) and for the new document while opening.
qsizetype s_maxUtf8Length = qsizetype(1) << 30;

qsizetype chunkEnd(QStringView text, qsizetype from) {
    qsizetype end = std::min(from + kChunkUnits, text.size());
    while (end < text.size() && end > from + 1 &&
           (text[end].isLowSurrogate() || (text[end] == u'\n' && text[end - 1] == u'\r'))) {
        --end;
    }
    return end;
}

}  // namespace

void useDocumentWithoutStyles(QsciScintillaBase& editor) {
    // There is no lexer, and style bytes would cost a byte per byte of text. QScintilla returns
    // the new document as a long, which holds a pointer only where long is as wide as one (not
    // on 64-bit Windows); elsewhere the default document stays.
    if constexpr (sizeof(long) >= sizeof(void*)) {
        const long document = editor.SendScintilla(
            QsciScintillaBase::SCI_CREATEDOCUMENT, 0UL,
            static_cast<long>(QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE));
        editor.SendScintilla(QsciScintillaBase::SCI_SETDOCPOINTER, 0UL, document);
        editor.SendScintilla(QsciScintillaBase::SCI_RELEASEDOCUMENT, 0UL, document);
    }
}

TextBox::TextBox(QWidget* parent) : m_editor(new QsciScintilla(parent)) {
    m_watcher = std::make_unique<TextAreaWatcher>(m_editor);
    m_editor->setObjectName(QStringLiteral("Text1"));
    useDocumentWithoutStyles(*m_editor);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                            static_cast<unsigned long>(textAreaEditNotifications()));
    QObject::connect(m_editor, &QsciScintillaBase::SCN_SAVEPOINTLEFT, m_editor, [this] {
        if (m_modifiedChanged) {
            m_modifiedChanged(true);
        }
    });
    QObject::connect(m_editor, &QsciScintillaBase::SCN_SAVEPOINTREACHED, m_editor, [this] {
        if (m_modifiedChanged) {
            m_modifiedChanged(false);
        }
    });
    QObject::connect(
        m_editor, &QsciScintillaBase::SCN_MODIFIED, m_editor,
        [this](int, int type, const char*, int length) { checkInsertion(type, length); });
    m_editor->setUtf8(true);
    m_editor->setLexer(nullptr);
    m_editor->setMargins(0);
    m_editor->setWrapMode(QsciScintilla::WrapNone);
    m_editor->setEolMode(QsciScintilla::EolWindows);
    m_editor->setEolVisibility(false);
    m_editor->setAutoIndent(false);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETPASTECONVERTENDINGS, 0UL);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETHSCROLLBAR, 1UL);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETVSCROLLBAR, 1UL);
    // A key repaints the page, and Scintilla lays out again every line it holds no layout
    // for: by default only the caret's. Kept for the page, a line whose text did not change
    // keeps its layout, so a page of long lines costs a key no more than the line typed in.
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETLAYOUTCACHE,
                            static_cast<unsigned long>(QsciScintillaBase::SC_CACHE_PAGE));
    m_editor->setFocusPolicy(Qt::StrongFocus);

    QFont font = QApplication::font();
    font.setPointSize(9);
    m_editor->setFont(font);

    // The text area's own keys are those of a text box; the editor component's others (case
    // changes, cutting, copying, deleting, duplicating and moving lines, rectangular
    // selections, zoom) would change the text in ways no menu offers.
    for (QsciCommand* command : m_editor->standardCommands()->commands()) {
        if (!isTextBoxKey(command->key())) {
            command->setKey(0);
        }
        if (!isTextBoxKey(command->alternateKey())) {
            command->setAlternateKey(0);
        }
    }
}

TextBox::~TextBox() = default;

void TextBox::leaveKeyToMenu(const QKeySequence& key) {
    // The editor's own binding (lower case, duplicate line, clipboard) would otherwise win.
    const int combined = key[0].toCombined();
    for (QsciCommand* command : m_editor->standardCommands()->commands()) {
        if (command->key() == combined) {
            command->setKey(0);
        }
        if (command->alternateKey() == combined) {
            command->setAlternateKey(0);
        }
    }
}

qsizetype TextBox::maxUtf8Length() {
    return s_maxUtf8Length;
}

void TextBox::setMaxUtf8Length(qsizetype bytes) {
    s_maxUtf8Length = bytes;
}

qsizetype TextBox::utf8Length() const {
    return m_editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
}

qsizetype TextBox::selectionUtf8Length() const {
    return m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND) -
           m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
}

void TextBox::checkInsertion(int modificationType, int length) {
    if (m_refusal == Refusal::Checked &&
        (modificationType & QsciScintillaBase::SC_MOD_INSERTTEXT) != 0) {
        // The emptied insertion has been recorded: as an undo step of its own, or joined to
        // the change it belongs to.
        const bool ownStep = (modificationType & QsciScintillaBase::SC_STARTACTION) != 0;
        m_refusal = ownStep ? Refusal::OwnStep : Refusal::None;
        m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                                static_cast<unsigned long>(textAreaEditNotifications()));
        return;
    }
    constexpr int kChange = QsciScintillaBase::SC_MOD_INSERTCHECK |
                            QsciScintillaBase::SC_MOD_BEFOREINSERT |
                            QsciScintillaBase::SC_MOD_BEFOREDELETE;
    if (m_refusal == Refusal::OwnStep && (modificationType & kChange) != 0) {
        m_refusal = Refusal::None;  // another change follows: the step may no longer be empty
    }
    // The commands check before they change anything and tell the user why; this catches what
    // reaches the text area on its own (typing, its own paste key, a drop, the middle button).
    if ((modificationType & QsciScintillaBase::SC_MOD_INSERTCHECK) == 0 ||
        (length >= 0 && utf8Length() + length <= s_maxUtf8Length)) {
        return;
    }
    // Nothing goes in; no other change is allowed while Scintilla asks.
    m_editor->SendScintilla(QsciScintillaBase::SCI_CHANGEINSERTION, 0UL, "");
    // Scintilla still records the emptied insertion; as a step of its own, Undo would take
    // back nothing instead of the user's last change. Its notification says which it is.
    m_refusal = Refusal::Checked;
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                            static_cast<unsigned long>(textAreaEditNotifications() |
                                                       QsciScintillaBase::SC_MOD_INSERTTEXT));
    QTimer::singleShot(0, m_editor, [this] {
        dropEmptyUndoStep();
        if (m_onRefused) {
            m_onRefused();
        }
    });
}

void TextBox::dropEmptyUndoStep() {
    if (std::exchange(m_refusal, Refusal::None) != Refusal::OwnStep) {
        return;
    }
    // Undoing the empty step changes no text, but would move the caret to where the text
    // was turned away (a drop's point).
    const long anchor = m_editor->SendScintilla(QsciScintillaBase::SCI_GETANCHOR);
    const long caret = m_editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    m_editor->SendScintilla(QsciScintillaBase::SCI_UNDO);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(anchor),
                            caret);
}

QString TextBox::text() const {
    const long length = m_editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    const auto* bytes = static_cast<const char*>(
        m_editor->SendScintillaPtrResult(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    return QString::fromUtf8(bytes, length);
}

void TextBox::setText(const QString& text) {
    setReadOnly(false);
    // Without undo collection and modification events a large text loads in one pass;
    // with them every chunk would be recorded and announced.
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0UL);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0UL);
    m_editor->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    m_editor->SendScintilla(QsciScintillaBase::SCI_ALLOCATE,
                            static_cast<unsigned long>(text.size() + 1));
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype end = chunkEnd(text, from);
        const QByteArray bytes = QStringView(text).mid(from, end - from).toUtf8();
        m_editor->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT,
                                static_cast<uintptr_t>(bytes.size()), bytes.constData());
        from = end;
    }
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                            static_cast<unsigned long>(textAreaEditNotifications()));
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1UL);
    m_editor->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
    m_editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0UL);
    setUnmodified();
    if (m_textLoaded) {
        m_textLoaded();
    }
}

void TextBox::adoptDocument(void* document) {
    // The text box takes a hold of its own and lets go of the old document.
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETDOCPOINTER, 0UL, document);
    // Read-only is the old document's; the editor's input method setting follows it again.
    setReadOnly(false);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                            static_cast<unsigned long>(textAreaEditNotifications()));
    m_editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 0UL);
    setUnmodified();
    if (m_textLoaded) {
        m_textLoaded();
    }
}

void TextBox::setReadOnly(bool readOnly) {
    // Scintilla's read-only holds for its own keys and for every call that would change the
    // text; QScintilla also stops the input method.
    m_editor->setReadOnly(readOnly);
}

bool TextBox::isReadOnly() const {
    return m_editor->isReadOnly();
}

bool TextBox::isModified() const {
    return m_editor->SendScintilla(QsciScintillaBase::SCI_GETMODIFY) != 0;
}

void TextBox::setUnmodified() {
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
    // Said here as well: a document swapped in was at its save point already, and Scintilla
    // announces no change then.
    if (m_modifiedChanged) {
        m_modifiedChanged(false);
    }
}

void TextBox::setEnterLineBreak(QByteArrayView lineBreak) {
    int mode = QsciScintillaBase::SC_EOL_CRLF;
    if (lineBreak == "\n") {
        mode = QsciScintillaBase::SC_EOL_LF;
    } else if (lineBreak == "\r") {
        mode = QsciScintillaBase::SC_EOL_CR;
    }
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETEOLMODE, static_cast<unsigned long>(mode));
}

QString TextBox::selectedText() const {
    const long start = m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    const long end = m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    QByteArray bytes(end - start, Qt::Uninitialized);
    if (!bytes.isEmpty()) {
        m_editor->SendScintilla(QsciScintillaBase::SCI_GETTEXTRANGE, start, end, bytes.data());
    }
    return QString::fromUtf8(bytes);
}

void TextBox::replaceSelection(const QString& text) {
    // The target calls take a length, so a NUL inside the text is inserted like any other
    // character (the selection call would stop at it).
    const QByteArray bytes = text.toUtf8();
    const long start = m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    const long end = m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE,
                            static_cast<unsigned long>(start), end);
    m_editor->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET,
                            static_cast<uintptr_t>(bytes.size()), bytes.constData());
    const unsigned long caret = static_cast<unsigned long>(start + bytes.size());
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, caret, static_cast<long>(caret));
}

void TextBox::deleteSelection() {
    // SCI_CLEAR would delete the next character when nothing is selected.
    if (m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEMPTY) == 0) {
        m_editor->SendScintilla(QsciScintillaBase::SCI_REPLACESEL, "");
    }
}

QByteArrayView TextBox::utf8Text() const {
    const auto* bytes = static_cast<const char*>(
        m_editor->SendScintillaPtrResult(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
    return QByteArrayView(bytes, utf8Length());
}

QByteArrayView TextBox::utf8Range(qsizetype from, qsizetype length) const {
    if constexpr (sizeof(long) >= sizeof(void*)) {
        const long pointer =
            m_editor->SendScintilla(QsciScintillaBase::SCI_GETRANGEPOINTER,
                                    static_cast<unsigned long>(from), static_cast<long>(length));
        return QByteArrayView(reinterpret_cast<const char*>(pointer), length);
    }
    return utf8Text().sliced(from, length);
}

void TextBox::replaceUtf8(qsizetype from, qsizetype to, QByteArrayView utf8) {
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, static_cast<unsigned long>(from),
                            static_cast<long>(to));
    m_editor->SendScintilla(QsciScintillaBase::SCI_REPLACETARGET,
                            static_cast<uintptr_t>(utf8.size()), utf8.data());
}

void TextBox::reserveUtf8(qsizetype bytes) {
    m_editor->SendScintilla(QsciScintillaBase::SCI_ALLOCATE, static_cast<unsigned long>(bytes));
}

void TextBox::undo() {
    m_editor->SendScintilla(QsciScintillaBase::SCI_UNDO);
}

bool TextBox::canUndo() const {
    return m_editor->SendScintilla(QsciScintillaBase::SCI_CANUNDO) != 0;
}

TextBox::UndoStep::UndoStep(TextBox& box) : m_box(box) {
    m_box.m_editor->SendScintilla(QsciScintillaBase::SCI_BEGINUNDOACTION);
}

TextBox::UndoStep::~UndoStep() {
    m_box.m_editor->SendScintilla(QsciScintillaBase::SCI_ENDUNDOACTION);
}

int TextBox::caretPosition() const {
    return utf16Offset(m_editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
}

int TextBox::selectionStart() const {
    return utf16Offset(m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
}

int TextBox::selectionEnd() const {
    return utf16Offset(m_editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND));
}

void TextBox::select(int start, int end) {
    m_editor->SendScintilla(QsciScintillaBase::SCI_SETSEL,
                            static_cast<unsigned long>(bytePosition(start)), bytePosition(end));
}

QColor TextBox::foreground() const {
    return m_editor->color();
}

void TextBox::setForeground(const QColor& color) {
    m_editor->setColor(color);
}

int TextBox::pointSize() const {
    return static_cast<int>(m_editor->SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZE,
                                                    QsciScintillaBase::STYLE_DEFAULT));
}

void TextBox::setPointSize(int points) {
    QFont font = m_editor->font();
    font.setPointSize(points);
    // The colour is a property of the same default style; setting the font must not reset it.
    const QColor color = m_editor->color();
    m_editor->setFont(font);
    m_editor->setColor(color);
}

bool TextBox::overtype() const {
    return m_editor->overwriteMode();
}

long TextBox::bytePosition(int utf16Offset) const {
    return m_editor->SendScintilla(QsciScintillaBase::SCI_POSITIONRELATIVECODEUNITS, 0UL,
                                   static_cast<long>(utf16Offset));
}

int TextBox::utf16Offset(long bytePosition) const {
    return static_cast<int>(
        m_editor->SendScintilla(QsciScintillaBase::SCI_COUNTCODEUNITS, 0UL, bytePosition));
}

}  // namespace ondrel
