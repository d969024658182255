#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "perl/perl_backslash.h"

namespace ondrel {

// The state at every line start of one document, kept across edits so that a rescan after an
// edit stops where a line's start state comes out as it was. A document holds few distinct
// states, so each line keeps only a number for its state, in one byte while there are fewer
// than 256 of them (two, then four, past that): a document of short lines costs about a byte
// a line, less than the text area's own index of lines.
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
    int lineCount() const { return static_cast<int>(m_ids.size() / m_width); }
    // Bytes kept for each line's state.
    int bytesPerLine() const { return m_width; }

private:
    struct Hash {
        std::size_t operator()(const PerlLineState& state) const;
    };

    const PerlLineState& stateAt(int line) const { return m_table[idAt(line)]; }
    std::uint32_t idAt(int line) const;
    void setState(int line, const PerlLineState& state);
    // Drops the states no line uses any more, and widens the numbers when that is not enough.
    void makeRoom();

    PerlBackslashScanner& m_scanner;
    std::vector<PerlLineState> m_table{PerlLineState{}};  // by number; 0 is Unscanned
    std::unordered_map<PerlLineState, std::uint32_t, Hash> m_numbers;
    std::vector<std::uint8_t> m_ids;  // each line's number, little-endian in m_width bytes
    int m_width = 1;
    std::set<int> m_pending;  // lines whose marks may be out of date
};

}  // namespace ondrel
