#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace ondrel {

// The longest line, in bytes of UTF-8, that the text area keeps as one line: it lays out a
// whole line again at every key, so a longer line makes each key slower than the user's typing.
qsizetype longLineLimit();

// Follows a text, piece by piece, for lines longer than longLineLimit(), and hands it on with a
// line feed added wherever such a line would pass the limit: always at the start of a
// character, never between a CR and its LF, never at the end. The text as handed on is for the
// eye only: it is not the file's text.
class LongLineSplitter {
public:
    // The piece as shown; refers to piece itself when no line feed was added to it, otherwise
    // valid until the next call.
    QByteArrayView add(QByteArrayView piece);

    // The first line longer than the limit (counted from 1 in the text, as lines end at LF, CR
    // LF or a lone CR), 0 while there is none; its length in characters so far; and how many
    // such lines there are.
    qint64 firstLongLine() const { return m_firstLongLine; }
    qint64 firstLongLineCharacters() const {
        return m_line == m_firstLongLine ? m_lineCharacters : m_firstLongLineCharacters;
    }
    qint64 longLines() const { return m_longLines; }

private:
    // Takes the next bytes of the current line, none of them CR or LF.
    void addRun(QByteArrayView piece, qsizetype from, qsizetype to);
    void endLine();

    QByteArray m_shown;
    // Whether m_shown holds the current piece (a line feed was added to it) and how much of
    // the piece it holds.
    bool m_copying = false;
    qsizetype m_copied = 0;
    // The current line, counted from 1, its length in bytes, and the bytes of its last shown
    // part.
    qint64 m_line = 1;
    qint64 m_lineBytes = 0;
    qint64 m_lineCharacters = 0;
    qint64 m_shownBytes = 0;
    bool m_afterCr = false;
    qint64 m_firstLongLine = 0;
    qint64 m_firstLongLineCharacters = 0;
    qint64 m_longLines = 0;
};

}  // namespace ondrel
