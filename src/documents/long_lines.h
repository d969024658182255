#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace ondrel {

// The longest line, in bytes of UTF-8, that the text area keeps as one line: it lays out a
// whole line again at every key, so a longer line makes each key slower than the user's typing.
qsizetype longLineLimit();

// The most bytes of UTF-8, in lines longer than longLineFitBytes(), that the text area keeps
// in any longLinePageRows() rows running, a screen of them: a key that shows a page not shown
// before (Page Down) lays out each line on it whole. Shorter lines always fit.
qsizetype longLinePageBytes();
qsizetype longLineFitBytes();
qsizetype longLinePageRows();

// The most bytes of UTF-8 in each row a line longer than longLineLimit() is shown in: short,
// so that a screen full of such rows is laid out within a key's time.
qsizetype longLineRowBytes();

// Follows a text, piece by piece, for lines longer than longLineLimit(), or longer than
// longLineFitBytes() that would pass longLinePageBytes() with the longer rows just before them,
// and hands it on with each such line shown in rows of at most longLineRowBytes(), a line feed
// added between them: always at the start of a character, never between a CR and its LF, never
// at the end. Other lines go on as they are. The text as handed on is for the eye only: it is not
// the file's text.
class LongLineSplitter {
public:
    // The piece as shown, up to where a line starts that may still pass the limit in the next
    // piece: those bytes are held back and shown with it. Refers to piece itself when nothing
    // was added to it or held before it, otherwise valid until the next call.
    QByteArrayView add(QByteArrayView piece);
    // The bytes still held back at the end of the text.
    QByteArrayView finish();

    // The first line shown split (counted from 1 in the text, as lines end at LF, CR LF or a
    // lone CR), 0 while there is none; whether it was split for the lines before it, not for its
    // own length; its length in characters so far; and how many lines are split.
    qint64 firstLongLine() const { return m_firstLongLine; }
    bool firstLongLineCrowded() const {
        return m_line == m_firstLongLine ? m_lineBytes <= longLineLimit() : m_firstLongLineCrowded;
    }
    qint64 firstLongLineCharacters() const {
        return m_line == m_firstLongLine ? m_lineCharacters : m_firstLongLineCharacters;
    }
    qint64 longLines() const { return m_longLines; }

private:
    // Takes the bytes of the current line in data[from, to), none of them CR or LF.
    void addRun(const char* data, qsizetype from, qsizetype to);
    void endLine();
    // Counts a row as shown, the last of those before the current line.
    void addRow(qint64 bytes);

    QByteArray m_shown;
    // The start of the current line, held back from the last piece.
    QByteArray m_held;
    // The held bytes and the piece after them, read as one.
    QByteArray m_joined;
    // Whether m_shown holds the current piece (a line feed was added to it) and how much of
    // the piece it holds.
    bool m_copying = false;
    qsizetype m_copied = 0;
    // The current line, counted from 1, its length in bytes and characters, whether it is
    // longer than the limit, and the bytes of its last row when it is.
    qint64 m_line = 1;
    qint64 m_lineBytes = 0;
    qint64 m_lineCharacters = 0;
    bool m_long = false;
    qint64 m_rowBytes = 0;
    bool m_afterCr = false;
    qint64 m_firstLongLine = 0;
    bool m_firstLongLineCrowded = false;
    qint64 m_firstLongLineCharacters = 0;
    // The bytes of the rows shown just before the current line, as a ring (0 for a row of at
    // most longLineFitBytes()), and their sum.
    std::vector<qint64> m_rows = std::vector<qint64>(longLinePageRows() - 1);
    std::size_t m_nextRow = 0;
    qint64 m_rowsBytes = 0;
    qint64 m_longLines = 0;
};

}  // namespace ondrel
