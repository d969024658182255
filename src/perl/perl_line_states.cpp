#include "perl/perl_line_states.h"

#include <algorithm>

namespace ondrel {

void PerlLineStates::reset(int lineCount) {
    m_states.assign(static_cast<std::size_t>(std::max(lineCount, 1)), PerlLineState{});
    m_states[0] = PerlBackslashScanner::documentStart();
    m_pending = {0};
}

void PerlLineStates::edited(int line, int linesAdded) {
    const int last = lineCount() - 1;
    line = std::clamp(line, 0, last);
    if (linesAdded > 0) {
        m_states.insert(m_states.begin() + line + 1, static_cast<std::size_t>(linesAdded),
                        PerlLineState{});
    } else if (linesAdded < 0) {
        const int removed = std::min(-linesAdded, last - line);
        m_states.erase(m_states.begin() + line + 1, m_states.begin() + line + 1 + removed);
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
        if (line >= lineCount() || m_states[line].mode == PerlLineState::Unscanned) {
            continue;
        }
        for (;;) {
            marks.clear();
            const PerlLineState next = m_scanner.scanLine(lineText(line), m_states[line], &marks);
            found(line, marks);
            ++scanned;
            if (line + 1 >= lineCount() || next == m_states[line + 1]) {
                break;
            }
            m_states[++line] = next;
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
