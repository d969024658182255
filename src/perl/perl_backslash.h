#pragma once

#include <QHash>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ondrel {

// Finds the characters a Perl script in code page 932 cannot hold as written: those whose
// second byte Perl reads as syntax where the character stands. A second byte of 0x5C, the
// backslash, escapes what follows (double-quoted strings, commands, patterns, substitutions,
// transliterations, interpolating here-documents, and in single-quoted strings the place
// directly before the closing quote); a character followed by a backslash is already
// compensated. A second byte that is the construct's own delimiter ends it or unbalances its
// brackets. In a pattern, | [ { ^ act as alternation, class, quantifier and anchor, and ] ends
// a class. @ followed by a name starts an array where the text interpolates. The scanner reads
// the document's UTF-8 bytes line by line and models Perl's reading of the script's bytes, so
// such a character does to what follows what it does for Perl. Where it cannot tell how Perl
// reads a place, it marks nothing there.

// What a marked character's second byte does to the script.
enum class MarkKind : std::uint8_t {
    Escape,     // a backslash that escapes what follows
    Delimiter,  // the construct's delimiter: ends it, or unbalances its brackets
    Pattern,    // syntax of a regular expression
    Array,      // @ that interpolates an array
};

// A marked character: its first byte and its length, relative to the start of its line, and
// what its second byte does.
struct ByteRange {
    int start = 0;
    int length = 0;
    MarkKind kind = MarkKind::Escape;
    bool operator==(const ByteRange& other) const {
        return start == other.start && length == other.length && kind == other.kind;
    }
};

// Where Perl stands at the start of a line: all the scanner needs to scan that line alone.
struct PerlLineState {
    enum Mode : std::uint8_t { Unscanned, Code, Quoted, AwaitDelimiter, Pod, End };
    // Quoted and AwaitDelimiter: how the current part and the part after it read their text.
    enum Part : std::uint8_t {
        NoPart,
        Escaping,         // escapes and interpolation: "", ``, qq, qx, a substitution's text
        Single,           // '', q, qw: only the delimiters and the backslash itself escape
        Pattern,          // a regular expression that interpolates: //, m, qr, s
        LiteralPattern,   // one that does not: m'', qr'', s''
        Transliteration,  // tr and y: escapes, no interpolation
    };

    Mode mode = Unscanned;
    bool expectTerm = true;  // Code: a '/' here begins a pattern, not a division
    Part part = NoPart;
    Part nextPart = NoPart;
    bool modifiers = false;  // a pattern operator: letters after its last delimiter are flags
    bool charClass = false;  // Pattern parts: inside a bracketed character class
    char open = 0;           // delimiters of the current part; open == close unless they pair
    char close = 0;
    std::uint32_t depth = 0;         // nesting of paired delimiters
    std::uint32_t hereDocs = 0;      // pending here-documents (0: none), see PerlBackslashScanner
    std::uint32_t hereDocIndex = 0;  // the one whose body this line belongs to

    bool operator==(const PerlLineState& o) const {
        return mode == o.mode && expectTerm == o.expectTerm && part == o.part &&
               nextPart == o.nextPart && modifiers == o.modifiers && charClass == o.charClass &&
               open == o.open && close == o.close && depth == o.depth && hereDocs == o.hereDocs &&
               hereDocIndex == o.hereDocIndex;
    }
    bool operator!=(const PerlLineState& o) const { return !(*this == o); }
};

class PerlBackslashScanner {
public:
    // trailBytes: the characters whose second code page 932 byte is ASCII, with that byte.
    explicit PerlBackslashScanner(const QHash<char32_t, char>& trailBytes);

    // The state at the start of a document.
    static PerlLineState documentStart();
    // Scans one line (its bytes with its line end) that starts in state; adds the characters
    // to mark to marks (when given) and returns the state at the start of the next line.
    PerlLineState scanLine(std::string_view line, const PerlLineState& state,
                           std::vector<ByteRange>* marks);
    // Every character to mark in a whole text, as byte ranges from its start. Lines end as
    // in the text area: CR LF, LF or CR.
    std::vector<ByteRange> scanText(std::string_view text);

    // The second byte of a character when Perl may read it as syntax; 0 otherwise.
    char trailOf(char32_t codePoint) const {
        return codePoint < m_trails.size() ? m_trails[codePoint] : '\0';
    }

private:
    struct HereDoc {
        std::string terminator;
        bool escaping = true;
        bool indented = false;
    };
    std::uint32_t intern(const std::vector<HereDoc>& docs);

    std::vector<char> m_trails;  // by code point
    // Lists of here-documents announced on one line, each kept once; a state names one by its
    // index here (0 is the empty list).
    std::vector<std::vector<HereDoc>> m_hereDocLists{{}};
    std::unordered_map<std::string, std::uint32_t> m_hereDocIds;
};

}  // namespace ondrel
