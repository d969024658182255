#pragma once

#include <QByteArray>
#include <QByteArrayMatcher>
#include <QByteArrayView>
#include <QString>

namespace ondrel {

class Dialogs;
class Progress;
class TextBox;

// Finds a non-empty byte pattern in texts, leftmost first; in UTF-8 a byte match is a character
// match, since no character's bytes start inside another's. Linear in the text's length
// whatever the pattern: once its first byte has started too many near misses, the search
// skips by the pattern's length for the rest of its life. It keeps a view of the pattern.
class ByteSearch {
public:
    explicit ByteSearch(QByteArrayView pattern);
    // The offset of the first occurrence starting at or after from, or -1.
    qsizetype indexIn(QByteArrayView text, qsizetype from);
    qsizetype patternSize() const { return m_pattern.size(); }

private:
    QByteArrayView m_pattern;
    QByteArrayMatcher m_matcher;
    bool m_matcherOnly = false;
    qsizetype m_scanned = 0;  // bytes the quick search has passed
    qsizetype m_wasted = 0;   // bytes it compared at near misses
};

// Appends text to out with every occurrence of the search's pattern replaced by replacement:
// occurrences never overlap and replaced text is never searched again. Returns how many were
// replaced.
qsizetype appendReplaced(QByteArray& out, QByteArrayView text, ByteSearch& search,
                         QByteArrayView replacement);

// 検索置換: asks for the search and replacement strings, replaces every occurrence in the
// whole document as one undoable step and leaves the caret at the start. A result past the
// text area's limit is refused before it is built, and the document stays as it was. It
// borrows the text box and the dialogs.
class ReplaceCommand {
public:
    ReplaceCommand(TextBox& textBox, Dialogs& dialogs);
    void run();

private:
    // Replaces in the document; false, touching nothing, when the result would not fit.
    bool replaceInDocument(const QString& search, const QString& replacement, Progress& progress);

    TextBox& m_textBox;
    Dialogs& m_dialogs;
};

}  // namespace ondrel
