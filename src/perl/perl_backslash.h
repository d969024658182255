#pragma once

#include <QList>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ondrel {

// Finds the characters a Perl script in code page 932 cannot hold as written: those whose
// second byte is 0x5C, the backslash, where Perl reads that byte as an escape (double-quoted
// strings, commands, patterns, substitutions, transliterations, interpolating here-documents,
// and in single-quoted strings the place directly before the closing quote). A character
// followed by a backslash is already compensated. The scanner reads the document's UTF-8 bytes
// line by line and models Perl's reading of the script's bytes, so such a character escapes
// what follows it, as it does for Perl. Where it cannot tell how Perl reads a place, it marks
// nothing there.

// A marked character: its first byte and its length, relative to the start of its line.
struct ByteRange {
    int start = 0;
    int length = 0;
    bool operator==(const ByteRange& other) const {
        return start == other.start && length == other.length;
    }
};

// Where Perl stands at the start of a line: all the scanner needs to scan that line alone.
struct PerlLineState {
    enum Mode : std::uint8_t { Unscanned, Code, Quoted, AwaitDelimiter, Pod, End };
    // Quoted and AwaitDelimiter: how the current part and the part after it read backslashes.
    enum Part : std::uint8_t { NoPart, Escaping, Single };

    Mode mode = Unscanned;
    bool expectTerm = true;  // Code: a '/' here begins a pattern, not a division
    Part part = NoPart;
    Part nextPart = NoPart;
    bool modifiers = false;  // a pattern operator: letters after its last delimiter are flags
    char open = 0;           // delimiters of the current part; open == close unless they pair
    char close = 0;
    std::uint32_t depth = 0;         // nesting of paired delimiters
    std::uint32_t hereDocs = 0;      // pending here-documents (0: none), see PerlBackslashScanner
    std::uint32_t hereDocIndex = 0;  // the one whose body this line belongs to

    bool operator==(const PerlLineState& o) const {
        return mode == o.mode && expectTerm == o.expectTerm && part == o.part &&
               nextPart == o.nextPart && modifiers == o.modifiers && open == o.open &&
               close == o.close && depth == o.depth && hereDocs == o.hereDocs &&
               hereDocIndex == o.hereDocIndex;
    }
    bool operator!=(const PerlLineState& o) const { return !(*this == o); }
};

class PerlBackslashScanner {
public:
    // chars: the characters to watch, as Unicode code points.
    explicit PerlBackslashScanner(const QList<char32_t>& chars);

    // The state at the start of a document.
    static PerlLineState documentStart();
    // Scans one line (its bytes with its line end) that starts in state; adds the characters
    // to mark to marks (when given) and returns the state at the start of the next line.
    PerlLineState scanLine(std::string_view line, const PerlLineState& state,
                           std::vector<ByteRange>* marks);
    // Every character to mark in a whole text, as byte ranges from its start. Lines end as
    // in the text area: CR LF, LF or CR.
    std::vector<ByteRange> scanText(std::string_view text);

    bool watched(char32_t codePoint) const {
        return codePoint < m_watched.size() && m_watched[codePoint];
    }

private:
    struct HereDoc {
        std::string terminator;
        bool escaping = true;
        bool indented = false;
    };
    std::uint32_t intern(const std::vector<HereDoc>& docs);

    std::vector<bool> m_watched;
    // Lists of here-documents announced on one line, each kept once; a state names one by its
    // index here (0 is the empty list).
    std::vector<std::vector<HereDoc>> m_hereDocLists{{}};
    std::unordered_map<std::string, std::uint32_t> m_hereDocIds;
};

}  // namespace ondrel
