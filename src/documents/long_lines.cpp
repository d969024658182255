#include "documents/long_lines.h"

#include <algorithm>
#include <cstring>

namespace ondrel {

namespace {

bool continuesCharacter(char c) {
    return (static_cast<uchar>(c) & 0xC0) == 0x80;
}

// Where the next byte c is in data[from, size), or size.
qsizetype next(const char* data, qsizetype from, qsizetype size, char c) {
    const void* found = std::memchr(data + from, c, static_cast<std::size_t>(size - from));
    return found ? static_cast<const char*>(found) - data : size;
}

}  // namespace

qsizetype longLineLimit() {
    // A key on a line of 16 KiB costs about 15 ms with its repaint, up to twice that with
    // Japanese text and the Perl marks; twice the length already passes 50 ms.
    return qsizetype(16) << 10;
}

QByteArrayView LongLineSplitter::add(QByteArrayView piece) {
    m_copying = false;
    m_copied = 0;
    const char* data = piece.data();
    const qsizetype size = piece.size();
    // Found by memchr, which reads far faster than a loop over every byte; a text without a
    // lone CR looks for one once a piece.
    qsizetype lf = -1;
    qsizetype cr = -1;
    for (qsizetype at = 0; at < size;) {
        if (lf < at) {
            lf = next(data, at, size, '\n');
        }
        if (cr < at) {
            cr = next(data, at, size, '\r');
        }
        const qsizetype end = std::min(lf, cr);
        if (end > at) {
            addRun(piece, at, end);
        }
        if (end == size) {
            break;
        }
        // The LF of a CR LF ends no second line.
        const bool isLf = data[end] == '\n';
        if (!isLf || !m_afterCr) {
            endLine();
        }
        m_afterCr = !isLf;
        at = end + 1;
    }
    if (!m_copying) {
        return piece;
    }
    m_shown.append(piece.sliced(m_copied));
    return m_shown;
}

void LongLineSplitter::addRun(QByteArrayView piece, qsizetype from, qsizetype to) {
    m_afterCr = false;
    const char* data = piece.data();
    const qsizetype limit = longLineLimit();
    if (m_firstLongLine == 0 || m_firstLongLine == m_line) {
        m_lineCharacters +=
            std::count_if(data + from, data + to, [](char c) { return !continuesCharacter(c); });
    }
    if (m_lineBytes <= limit && m_lineBytes + (to - from) > limit) {
        ++m_longLines;
        if (m_firstLongLine == 0) {
            m_firstLongLine = m_line;
        }
    }
    m_lineBytes += to - from;
    while (m_shownBytes + (to - from) > limit) {
        // The break goes before the character that would pass the limit.
        qsizetype cut = from + std::max<qint64>(0, limit - m_shownBytes);
        while (cut > from && continuesCharacter(data[cut])) {
            --cut;
        }
        // A character begun in an earlier piece (the decoder hands on whole characters, so
        // this is only a safeguard): the break goes after it instead.
        while (cut < to && continuesCharacter(data[cut])) {
            ++cut;
        }
        if (cut == to) {
            break;
        }
        if (!m_copying) {
            m_shown.resize(0);  // keeps its capacity
            m_copying = true;
        }
        m_shown.append(piece.sliced(m_copied, cut - m_copied));
        m_shown.append('\n');
        m_copied = cut;
        m_shownBytes = 0;
        from = cut;
    }
    m_shownBytes += to - from;
}

void LongLineSplitter::endLine() {
    if (m_line == m_firstLongLine) {
        m_firstLongLineCharacters = m_lineCharacters;
    }
    ++m_line;
    m_lineBytes = 0;
    m_lineCharacters = 0;
    m_shownBytes = 0;
}

}  // namespace ondrel
