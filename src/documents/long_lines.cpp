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

qsizetype longLinePageBytes() {
    // A key that shows a page of lines not laid out before (Japanese Perl, with the Perl marks)
    // lays out each whole. The heaviest page of the window as it opens, 27 rows, holds two lines
    // at the limit and 25 of longLineFitBytes(), 51 KiB, and takes about 35 ms with its repaint;
    // a window of a screen's full height, 64 rows, at most 79 KiB and about 70 ms.
    return qsizetype(32) << 10;
}

qsizetype longLineFitBytes() {
    // A window as it opens shows 27 rows of such lines, 20 KiB, well within a key's time.
    return 768;
}

qsizetype longLinePageRows() {
    // A window of a screen's full height at the usual size of type, 9 points: long lines are
    // counted over the most rows any page shows.
    return 64;
}

qsizetype longLineRowBytes() {
    // Every row of a page not shown before is laid out when a key shows it: 25 rows of 512 bytes
    // take about 12 ms, of 1 KiB 18 ms, of 4 KiB 65 ms. Short enough for a window of the screen's
    // full height.
    return 512;
}

QByteArrayView LongLineSplitter::add(QByteArrayView piece) {
    m_copying = false;
    m_copied = 0;
    // The start of a line held back from the last piece is read again in front of this one,
    // so a line is always whole in a piece until it passes the limit, and is split into rows
    // from its first byte.
    if (!m_held.isEmpty()) {
        m_held.append(piece);
        std::swap(m_held, m_joined);
        m_held.resize(0);  // keeps its capacity
        piece = m_joined;
    }
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
            addRun(data, at, end);
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
    // A line within the limit so far may pass it in the next piece: its bytes are held back and
    // counted again there.
    qsizetype shown = size;
    if (!m_long && m_lineBytes > 0) {
        shown -= m_lineBytes;
        m_held.append(piece.sliced(shown));
        m_lineBytes = 0;
        m_lineCharacters = 0;
    }
    if (!m_copying) {
        return piece.first(shown);
    }
    m_shown.append(piece.sliced(m_copied, shown - m_copied));
    return m_shown;
}

QByteArrayView LongLineSplitter::finish() {
    std::swap(m_held, m_joined);
    m_held.resize(0);
    return m_joined;
}

void LongLineSplitter::addRun(const char* data, qsizetype from, qsizetype to) {
    m_afterCr = false;
    if (m_firstLongLine == 0 || m_firstLongLine == m_line) {
        m_lineCharacters +=
            std::count_if(data + from, data + to, [](char c) { return !continuesCharacter(c); });
    }
    // What the longer rows just before leave of a page's bytes for them. A short line always
    // fits: splitting it would not make a page lighter, and a page of such lines is light.
    const qint64 limit = std::max<qint64>(
        std::min<qint64>(longLineLimit(), longLinePageBytes() - m_rowsBytes), longLineFitBytes());
    if (!m_long && m_lineBytes + (to - from) > limit) {
        // The whole line so far is data[from, to): the start of a line is held back until the
        // line ends or passes the limit.
        m_long = true;
        m_rowBytes = 0;
        ++m_longLines;
        if (m_firstLongLine == 0) {
            m_firstLongLine = m_line;
        }
    }
    m_lineBytes += to - from;
    if (!m_long) {
        return;
    }
    const qsizetype rowBytes = longLineRowBytes();
    while (m_rowBytes + (to - from) > rowBytes) {
        // The break goes before the character that would pass the row's length.
        qsizetype cut = from + std::max<qint64>(0, rowBytes - m_rowBytes);
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
        m_shown.append(data + m_copied, cut - m_copied);
        m_shown.append('\n');
        m_copied = cut;
        addRow(m_rowBytes + (cut - from));
        m_rowBytes = 0;
        from = cut;
    }
    m_rowBytes += to - from;
}

void LongLineSplitter::endLine() {
    if (m_line == m_firstLongLine) {
        m_firstLongLineCharacters = m_lineCharacters;
        m_firstLongLineCrowded = m_lineBytes <= longLineLimit();
    }
    addRow(m_long ? m_rowBytes : m_lineBytes);
    ++m_line;
    m_lineBytes = 0;
    m_lineCharacters = 0;
    m_long = false;
    m_rowBytes = 0;
}

void LongLineSplitter::addRow(qint64 bytes) {
    bytes = bytes > longLineFitBytes() ? bytes : 0;
    m_rowsBytes += bytes - m_rows[m_nextRow];
    m_rows[m_nextRow] = bytes;
    m_nextRow = (m_nextRow + 1) % m_rows.size();
}

}  // namespace ondrel
