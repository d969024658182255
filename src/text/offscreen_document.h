#pragma once

#include <QByteArrayView>

#include <memory>

class QsciScintillaBase;

namespace ondrel {

class TextBox;

// A document filled out of the user's sight and without undo history, for a text that is to
// become the whole document only once it is known to be good. Dropped unused, it leaves the
// text box exactly as it was: text, caret, selection and undo history.
class OffscreenDocument {
public:
    // Takes the settings of textBox's document (code page, line ends, tabs).
    explicit OffscreenDocument(const TextBox& textBox);
    ~OffscreenDocument();
    OffscreenDocument(const OffscreenDocument&) = delete;
    OffscreenDocument& operator=(const OffscreenDocument&) = delete;

    // Its length in bytes of UTF-8.
    qsizetype length() const;
    // Makes room for bytes of text in all, so that appending need not move what is there.
    void reserve(qsizetype bytes);
    void append(QByteArrayView utf8);
    // Removes the last bytes of the text appended so far.
    void removeTail(qsizetype bytes);
    // Frees the text appended so far; the document is of no further use.
    void discard();
    // Makes it textBox's document, with the caret at 0 and no undo history; the old one goes.
    void moveInto(TextBox& textBox);

private:
    // A hidden editor that holds the document while it is filled.
    std::unique_ptr<QsciScintillaBase> m_holder;
};

}  // namespace ondrel
