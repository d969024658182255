#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace ondrel {

class Dialogs;
class Progress;
class TextBox;

// Finds a byte pattern in texts, leftmost first (an empty one nowhere); in UTF-8 a byte match
// is a character match, since no character's bytes start inside another's. Linear in the
// text's length whatever the pattern: once near misses have cost too many comparisons, it
// reads on with an automaton that looks at each byte once, for the rest of its life.
class ByteSearch {
public:
    explicit ByteSearch(QByteArray pattern);
    // The offset of the first occurrence starting at or after from, or -1.
    qsizetype indexIn(QByteArrayView text, qsizetype from);
    qsizetype patternSize() const { return m_pattern.size(); }

private:
    void buildBorders();
    qsizetype automatonIndexIn(QByteArrayView text, qsizetype from) const;

    QByteArray m_pattern;
    std::vector<qsizetype> m_borders;  // the automaton's table; empty while it is not in use
    qsizetype m_scanned = 0;           // bytes the quick search has passed
    qsizetype m_wasted = 0;            // bytes it compared at near misses
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
