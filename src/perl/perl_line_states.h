#pragma once

#include <functional>
#include <set>
#include <string_view>
#include <vector>

#include "perl/perl_backslash.h"

namespace ondrel {

// The state at every line start of one document, kept across edits so that a rescan after an
// edit stops where a line's start state comes out as it was.
class PerlLineStates {
public:
    explicit PerlLineStates(PerlBackslashScanner& scanner) : m_scanner(scanner) {}

    // A document of lineCount lines, none scanned yet.
    void reset(int lineCount);
    // The text of line changed and linesAdded lines (fewer when negative) follow it now.
    void edited(int line, int linesAdded);
    bool done() const { return m_pending.empty(); }
    // Scans at most maxLines lines where the marks may be out of date, first the earliest.
    // lineText gives a line's bytes with its line end; found hears each scanned line's marks.
    // Returns the number of lines scanned.
    int scan(int maxLines, const std::function<std::string_view(int line)>& lineText,
             const std::function<void(int line, const std::vector<ByteRange>&)>& found);
    int lineCount() const { return static_cast<int>(m_states.size()); }

private:
    PerlBackslashScanner& m_scanner;
    std::vector<PerlLineState> m_states;  // the state at the start of each line
    std::set<int> m_pending;              // lines whose marks may be out of date
};

}  // namespace ondrel
