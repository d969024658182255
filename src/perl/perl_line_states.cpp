#include "perl/perl_line_states.h"

#include <algorithm>

namespace ondrel {

std::size_t PerlLineStates::Hash::operator()(const PerlLineState& s) const {
    std::uint64_t h = s.mode | s.expectTerm << 3 | s.part << 4 | s.nextPart << 7 |
                      s.modifiers << 10 | s.charClass << 11 |
                      static_cast<std::uint64_t>(static_cast<unsigned char>(s.open)) << 12 |
                      static_cast<std::uint64_t>(static_cast<unsigned char>(s.close)) << 20;
    h = h * 0x9E3779B97F4A7C15ULL ^ s.depth;
    h = h * 0x9E3779B97F4A7C15ULL ^ s.hereDocs;
    h = h * 0x9E3779B97F4A7C15ULL ^ s.hereDocIndex;
    return static_cast<std::size_t>(h ^ h >> 29);
}

std::uint32_t PerlLineStates::idAt(int line) const {
    const std::uint8_t* bytes = &m_ids[static_cast<std::size_t>(line) * m_width];
    std::uint32_t id = 0;
    for (int k = m_width - 1; k >= 0; --k) {
        id = id << 8 | bytes[k];
    }
    return id;
}

void PerlLineStates::setState(int line, const PerlLineState& state) {
    auto found = m_numbers.find(state);
    if (found == m_numbers.end()) {
        if (m_table.size() >> (8 * m_width) != 0) {
            makeRoom();
        }
        found = m_numbers.emplace(state, static_cast<std::uint32_t>(m_table.size())).first;
        m_table.push_back(state);
    }
    std::uint32_t id = found->second;
    std::uint8_t* bytes = &m_ids[static_cast<std::size_t>(line) * m_width];
    for (int k = 0; k < m_width; ++k, id >>= 8) {
        bytes[k] = static_cast<std::uint8_t>(id);
    }
}

void PerlLineStates::makeRoom() {
    const int lines = lineCount();
    std::vector<std::uint32_t> renumbered(m_table.size(), 0);
    std::vector<PerlLineState> table{PerlLineState{}};
    m_numbers.clear();
    for (int line = 0; line < lines; ++line) {
        const std::uint32_t id = idAt(line);
        if (id != 0 && renumbered[id] == 0) {
            renumbered[id] = static_cast<std::uint32_t>(table.size());
            m_numbers.emplace(m_table[id], renumbered[id]);
            table.push_back(m_table[id]);
        }
    }
    // Half the numbers free at least, so that this pass over every line stays rare.
    const int width = table.size() * 2 >> (8 * m_width) != 0 ? std::min(m_width * 2, 4) : m_width;
    std::vector<std::uint8_t> ids(static_cast<std::size_t>(lines) * width);
    for (int line = 0; line < lines; ++line) {
        std::uint32_t id = renumbered[idAt(line)];
        for (int k = 0; k < width; ++k, id >>= 8) {
            ids[static_cast<std::size_t>(line) * width + k] = static_cast<std::uint8_t>(id);
        }
    }
    m_ids = std::move(ids);
    m_width = width;
    m_table = std::move(table);
}

void PerlLineStates::reset(int lineCount) {
    m_table.resize(1);
    m_numbers.clear();
    m_width = 1;
    m_ids.assign(static_cast<std::size_t>(std::max(lineCount, 1)), 0);
    m_ids.shrink_to_fit();
    setState(0, PerlBackslashScanner::documentStart());
    m_pending = {0};
}

void PerlLineStates::edited(int line, int linesAdded) {
    const int last = lineCount() - 1;
    line = std::clamp(line, 0, last);
    const auto at = m_ids.begin() + static_cast<std::ptrdiff_t>(line + 1) * m_width;
    if (linesAdded > 0) {
        m_ids.insert(at, static_cast<std::size_t>(linesAdded) * m_width, 0);
    } else if (linesAdded < 0) {
        const int removed = std::min(-linesAdded, last - line);
        m_ids.erase(at, at + static_cast<std::ptrdiff_t>(removed) * m_width);
        linesAdded = -removed;
    }
    std::set<int> pending;
    for (int p : m_pending) {
        if (p <= line) {
            pending.insert(p);
        } else if (p <= line - linesAdded) {
            pending.insert(line);
        } else {
            pending.insert(p + linesAdded);
        }
    }
    pending.insert(line);
    m_pending = std::move(pending);
}

int PerlLineStates::scan(int maxLines, const std::function<std::string_view(int)>& lineText,
                         const std::function<void(int, const std::vector<ByteRange>&)>& found) {
    int scanned = 0;
    std::vector<ByteRange> marks;
    while (scanned < maxLines && !m_pending.empty()) {
        int line = *m_pending.begin();
        m_pending.erase(m_pending.begin());
        // A line whose start is not known yet is reached by the scan of the lines above it.
        if (line >= lineCount() || idAt(line) == 0) {
            continue;
        }
        for (;;) {
            marks.clear();
            const PerlLineState next = m_scanner.scanLine(lineText(line), stateAt(line), &marks);
            found(line, marks);
            ++scanned;
            if (line + 1 >= lineCount() || next == stateAt(line + 1)) {
                break;
            }
            setState(++line, next);
            m_pending.erase(line);
            if (scanned >= maxLines) {
                m_pending.insert(line);
                break;
            }
        }
    }
    return scanned;
}

}  // namespace ondrel
