#pragma once

#include <QByteArrayView>
#include <QColor>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

class QKeySequence;
class QsciScintilla;
class QsciScintillaBase;
class QWidget;

namespace ondrel {

class TextAreaWatcher;

// Gives editor a new, empty document without style bytes (the text area has no lexer).
void useDocumentWithoutStyles(QsciScintillaBase& editor);

// The document text box Text1: a QScintilla editor set up as a plain multi-line text box.
// It keeps every character as given (NUL and lone CR or LF included) and offers the program
// what it needs of a text box; commands talk to it rather than to Scintilla messages.
// Positions are in UTF-16 code units of the text.
class TextBox {
public:
    explicit TextBox(QWidget* parent);
    ~TextBox();
    TextBox(const TextBox&) = delete;
    TextBox& operator=(const TextBox&) = delete;

    QsciScintilla* widget() const { return m_editor; }

    // Lets key reach the menu item that has it as its shortcut instead of the editor.
    void leaveKeyToMenu(const QKeySequence& key);

    // The largest document, in bytes of UTF-8, that the text area holds safely; every command
    // that could grow the document past it refuses instead.
    static qsizetype maxUtf8Length();
    // Changes that limit, for the whole program; tests lower it to stay small.
    static void setMaxUtf8Length(qsizetype bytes);
    // The document's length in bytes of UTF-8, and the selection's.
    qsizetype utf8Length() const;
    qsizetype selectionUtf8Length() const;
    // Called, once control is back in the event loop, after the text area itself turned away
    // text that would have passed the limit (typed, dropped or pasted by its own keys).
    void setOnRefused(std::function<void()> onRefused) { m_onRefused = std::move(onRefused); }

    // The whole text, every character included.
    QString text() const;
    // Replaces the whole text, leaves the caret at 0 and empties the undo history. The new
    // text can be edited.
    void setText(const QString& text);

    // Makes document (a Scintilla document filled elsewhere) the whole text, as setText does:
    // caret at 0, the old document and its undo history let go, the new text editable.
    void adoptDocument(void* document);

    // Read-only, the text cannot change at all, by keys or by any command, until the next
    // setText or adoptDocument.
    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    // Heard after setText and adoptDocument, which put the text in without edit notifications.
    void setTextLoaded(std::function<void()> listener) { m_textLoaded = std::move(listener); }

    // Modified: the text differs from what it was when last marked unmodified (undoing back to
    // that point makes it unmodified again). setText and adoptDocument leave it unmodified.
    bool isModified() const;
    void setUnmodified();
    // Heard whenever the text becomes modified or unmodified.
    void setModifiedChanged(std::function<void(bool)> listener) {
        m_modifiedChanged = std::move(listener);
    }
    // The line break the Enter key types: "\r\n", "\n" or "\r".
    void setEnterLineBreak(QByteArrayView lineBreak);

    QString selectedText() const;
    // Replaces the selection (or inserts at the caret) and leaves the caret after the new text.
    void replaceSelection(const QString& text);
    // Removes the selection; does nothing when nothing is selected.
    void deleteSelection();
    // The document's UTF-8 in place; valid until the document next changes.
    QByteArrayView utf8Text() const;
    // Bytes [from, from + length) of the document's UTF-8 in place, valid until it next
    // changes; unlike utf8Text(), it moves no text unless the range spans the last change.
    QByteArrayView utf8Range(qsizetype from, qsizetype length) const;
    // Replaces bytes [from, to) of the document's UTF-8 by utf8; the caret is left to the caller.
    void replaceUtf8(qsizetype from, qsizetype to, QByteArrayView utf8);
    // Makes room for a document of bytes, so that growing to it moves the text once at most.
    void reserveUtf8(qsizetype bytes);

    void undo();
    bool canUndo() const;

    // Groups every change made during its lifetime into one undo step.
    class UndoStep {
    public:
        explicit UndoStep(TextBox& box);
        ~UndoStep();
        UndoStep(const UndoStep&) = delete;
        UndoStep& operator=(const UndoStep&) = delete;

    private:
        TextBox& m_box;
    };

    int caretPosition() const;
    int selectionStart() const;
    int selectionEnd() const;
    void select(int start, int end);

    QColor foreground() const;
    void setForeground(const QColor& color);
    int pointSize() const;
    void setPointSize(int points);

    bool overtype() const;

private:
    long bytePosition(int utf16Offset) const;
    int utf16Offset(long bytePosition) const;

    // Lets nothing past the limit into the document, whichever way it comes.
    void checkInsertion(int modificationType, int length);
    // Takes back the undo step Scintilla recorded for a turned-away insertion, if it is empty.
    void dropEmptyUndoStep();

    QsciScintilla* m_editor;
    std::unique_ptr<TextAreaWatcher> m_watcher;
    // A turned-away insertion: its check answered, then recorded as an empty step of its own.
    enum class Refusal { None, Checked, OwnStep };
    Refusal m_refusal = Refusal::None;
    std::function<void()> m_onRefused;
    std::function<void()> m_textLoaded;
    std::function<void(bool)> m_modifiedChanged;
};

}  // namespace ondrel
