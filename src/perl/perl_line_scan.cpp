#include "perl/perl_line_scan.h"

#include <algorithm>
#include <string>

#include "perl/perl_bytes.h"

namespace ondrel {

using namespace perlbytes;

namespace {

using State = PerlLineState;

char closingOf(char open) {
    static constexpr std::string_view kPairs = "()[]{}<>";
    const std::size_t at = kPairs.find(open);
    return at != std::string_view::npos && at % 2 == 0 ? kPairs[at + 1] : open;
}

// Words after which a term follows, so that a '/' begins a pattern.
bool expectsTerm(std::string_view word) {
    static const std::string_view kWords[] = {
        "and",   "cmp",    "elsif",   "eq",    "ge",   "grep",  "gt",    "if",   "join",
        "le",    "lt",     "map",     "ne",    "not",  "or",    "print", "push", "return",
        "split", "unless", "unshift", "until", "when", "while", "xor",   "x"};
    return std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords);
}

bool isPattern(State::Part part) {
    return part == State::Pattern || part == State::LiteralPattern;
}

bool interpolates(State::Part part) {
    return part == State::Escaping || part == State::Pattern;
}

// The scan of one line that is not a here-document body: a small lexer of Perl's tokens that
// matter for quoting. It reads bytes; a watched character counts, as for Perl, as its first
// byte followed by a backslash.
class LineScan {
public:
    LineScan(const PerlBackslashScanner& scanner, std::string_view line, State& state,
             std::vector<ByteRange>* marks, std::vector<NewHereDoc>& hereDocs)
        : hereDocs(hereDocs), m_scanner(scanner), m_line(line), m_state(state), m_marks(marks) {}

    std::vector<NewHereDoc>& hereDocs;

    void run() {
        while (m_i < m_line.size() && m_state.mode != State::End) {
            switch (m_state.mode) {
                case State::Quoted:
                    quoted();
                    break;
                case State::AwaitDelimiter:
                    awaitDelimiter();
                    break;
                default:
                    code();
                    break;
            }
        }
    }

private:
    // The token before, where it changes what a word means.
    enum class Previous { Other, Arrow, Sub };

    char at(std::size_t i) const { return i < m_line.size() ? m_line[i] : '\0'; }

    void toCode(bool expectTerm) {
        m_state.mode = State::Code;
        m_state.expectTerm = expectTerm;
        m_state.part = State::NoPart;
        m_state.nextPart = State::NoPart;
        m_state.modifiers = false;
        m_state.charClass = false;
        m_state.open = m_state.close = 0;
        m_state.depth = 0;
    }

    void openQuote(char delimiter, State::Part part, State::Part nextPart, bool modifiers) {
        m_state.mode = State::Quoted;
        m_state.expectTerm = false;
        m_state.part = part;
        m_state.nextPart = nextPart;
        m_state.modifiers = modifiers;
        m_state.charClass = false;
        m_state.open = delimiter;
        m_state.close = closingOf(delimiter);
        m_state.depth = 1;
    }

    // What follows an escape: one byte, so a character whose second byte is syntax keeps it.
    void skipEscaped() {
        if (m_i >= m_line.size()) {
            return;
        }
        char32_t codePoint = 0;
        const int length = decodeAt(m_line, m_i, &codePoint);
        if (m_scanner.trailOf(codePoint) == '\0') {
            m_i += length;
        }
    }

    void quoted() {
        const char c = m_line[m_i];
        const bool single = m_state.part == State::Single;
        if (c == '\\') {
            const char next = at(m_i + 1);
            ++m_i;
            if (!single) {
                skipEscaped();
            } else if (m_i < m_line.size() &&
                       (next == '\\' || next == m_state.open || next == m_state.close)) {
                ++m_i;
            }
            return;
        }
        if (!isAscii(c)) {
            char32_t codePoint = 0;
            const int length = decodeAt(m_line, m_i, &codePoint);
            const std::size_t after = m_i + length;
            const char trail = m_scanner.trailOf(codePoint);
            if (trail != '\\') {
                const std::size_t start = m_i;
                m_i = after;
                if (trail != '\0') {
                    syntax(trail, start, length);
                }
                return;
            }
            const bool atEnd = after >= m_line.size();
            const char next = at(after);
            const bool nextIsDelimiter = !atEnd && (next == m_state.close || next == m_state.open);
            if (single ? nextIsDelimiter : (atEnd || next != '\\')) {
                mark(m_i, length, MarkKind::Escape);
            }
            m_i = after;
            if (!single) {
                skipEscaped();
            } else if (!atEnd && (next == '\\' || nextIsDelimiter)) {
                ++m_i;
            }
            return;
        }
        ++m_i;
        syntax(c, m_i - 1, 0);
    }

    // One byte of a quoted part that may be syntax: an ASCII character (length 0), or the
    // second byte of the character of length bytes at start, which is marked when Perl reads
    // that byte as syntax here.
    void syntax(char c, std::size_t start, int length) {
        const bool paired = m_state.open != m_state.close;
        if (c == m_state.close || (paired && c == m_state.open)) {
            mark(start, length, MarkKind::Delimiter);
            if (c == m_state.open && paired) {
                ++m_state.depth;
            } else if (!paired || --m_state.depth == 0) {
                endPart();
            }
            return;
        }
        if (isPattern(m_state.part)) {
            patternSyntax(c, start, length);
        }
        if (c == '@' && interpolates(m_state.part) &&
            startsArray(m_line, m_i, isPattern(m_state.part))) {
            mark(start, length, MarkKind::Array);
        }
    }

    void patternSyntax(char c, std::size_t start, int length) {
        if (!m_state.charClass) {
            if (c == '[') {
                m_state.charClass = true;
                // A ] first in the class, or after its ^, is one of its characters.
                m_classStart = m_i + (at(m_i) == '^' ? 1 : 0);
            }
            if (c == '[' || c == '|' || c == '{' || c == '^') {
                mark(start, length, MarkKind::Pattern);
            }
        } else if (c == '[' && length == 0 &&
                   (at(m_i) == ':' || at(m_i) == '.' || at(m_i) == '=')) {
            // [:alpha:] and its kin, whose ] does not end the class.
            const std::size_t end = m_line.find(std::string{at(m_i), ']'}, m_i + 1);
            if (end != std::string_view::npos) {
                m_i = end + 2;
            }
        } else if (c == ']' && !(length == 0 && start == m_classStart)) {
            m_state.charClass = false;
            mark(start, length, MarkKind::Pattern);
        }
    }

    void endPart() {
        if (m_state.nextPart != State::NoPart) {
            m_state.part = m_state.nextPart;
            m_state.nextPart = State::NoPart;
            if (m_state.open != m_state.close) {
                // s{...}{...}: the second part has its own delimiters, maybe after spaces.
                m_state.mode = State::AwaitDelimiter;
                m_state.open = m_state.close = 0;
                m_state.depth = 0;
                m_sawSpace = false;
            } else {
                m_state.depth = 1;
            }
            m_state.charClass = false;
            return;
        }
        if (m_state.modifiers) {
            while (m_i < m_line.size() && isWord(m_line[m_i])) {
                ++m_i;
            }
        }
        toCode(false);
    }

    // Between a quoting operator and its delimiter (or between the two parts of s{}{}).
    void awaitDelimiter() {
        const char c = m_line[m_i];
        if (isSpace(c)) {
            m_sawSpace = true;
            ++m_i;
        } else if (c == '#' && (m_sawSpace || m_i == 0)) {
            m_i = m_line.size();
        } else if (isWord(c) || !isAscii(c) || c == '\\') {
            // A delimiter Perl might take but this scanner does not follow.
            toCode(false);
        } else {
            ++m_i;
            openQuote(c, m_state.part, m_state.nextPart, m_state.modifiers);
        }
    }

    void code() {
        const char c = m_line[m_i];
        const Previous previous = m_previous;
        m_previous = Previous::Other;
        if (isSpace(c)) {
            m_previous = previous;
            ++m_i;
        } else if (c == '#') {
            m_i = m_line.size();
        } else if (c == '"' || c == '`') {
            ++m_i;
            openQuote(c, State::Escaping, State::NoPart, false);
        } else if (c == '\'') {
            ++m_i;
            openQuote(c, State::Single, State::NoPart, false);
        } else if (c == '/') {
            ++m_i;
            if (m_state.expectTerm) {
                openQuote(c, State::Pattern, State::NoPart, true);
            } else {
                // A division, or the defined-or operator //.
                if (at(m_i) == '/') {
                    ++m_i;
                }
                m_state.expectTerm = true;
            }
        } else if (c == '<') {
            lessThan();
        } else if (c == '$' || c == '@' ||
                   ((c == '%' || c == '&' || c == '*') && m_state.expectTerm &&
                    (isWordStart(at(m_i + 1)) || at(m_i + 1) == '$' || at(m_i + 1) == '{'))) {
            variable();
        } else if (c == '-' && at(m_i + 1) == '>') {
            m_i += 2;
            m_previous = Previous::Arrow;
            m_state.expectTerm = false;
        } else if (c == '-' && isWordStart(at(m_i + 1)) && !isWord(at(m_i + 2))) {
            // A file test such as -s or -e, never the start of s/// or the like.
            m_i += 2;
            m_state.expectTerm = true;
        } else if (isDigit(c) || (c == '.' && m_state.expectTerm && isDigit(at(m_i + 1)))) {
            number();
        } else if (isWordStart(c)) {
            word(previous);
        } else if (c == ')' || c == ']' || c == '}') {
            ++m_i;
            m_state.expectTerm = false;
        } else if (!isAscii(c)) {
            char32_t codePoint = 0;
            m_i += decodeAt(m_line, m_i, &codePoint);
            // Its second byte is the backslash operator.
            m_state.expectTerm = m_scanner.trailOf(codePoint) == '\\';
        } else {
            ++m_i;
            m_state.expectTerm = true;
        }
    }

    void lessThan() {
        if (at(m_i + 1) == '<' && hereDoc()) {
            m_state.expectTerm = false;
            return;
        }
        if (m_state.expectTerm) {
            // <STDIN>, <$fh>, <>: a read, which is a term.
            std::size_t j = m_i + 1;
            if (at(j) == '$') {
                ++j;
            }
            while (isWord(at(j)) || at(j) == ':') {
                ++j;
            }
            if (at(j) == '>') {
                m_i = j + 1;
                m_state.expectTerm = false;
                return;
            }
        }
        m_i += at(m_i + 1) == '<' ? 2 : 1;
        m_state.expectTerm = true;
    }

    // <<"EOT", <<'EOT', <<EOT, <<\EOT and the indented <<~ forms; false when what follows the
    // << is none of them (a shift).
    bool hereDoc() {
        std::size_t j = m_i + 2;
        const bool indented = at(j) == '~';
        if (indented) {
            ++j;
        }
        if (m_state.expectTerm) {
            while (at(j) == ' ' || at(j) == '\t') {
                ++j;
            }
        }
        const char c = at(j);
        NewHereDoc doc{{}, true, indented};
        if (c == '"' || c == '\'') {
            const std::size_t close = m_line.find(c, j + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            doc.terminator = m_line.substr(j + 1, close - j - 1);
            doc.escaping = c == '"';
            m_i = close + 1;
        } else if (isWordStart(c) || (c == '\\' && isWordStart(at(j + 1)))) {
            doc.escaping = c != '\\';
            const std::size_t start = c == '\\' ? j + 1 : j;
            std::size_t end = start;
            while (isWord(at(end))) {
                ++end;
            }
            doc.terminator = m_line.substr(start, end - start);
            m_i = end;
        } else {
            return false;
        }
        hereDocs.push_back(doc);
        return true;
    }

    void variable() {
        const char sigil = m_line[m_i++];
        m_state.expectTerm = false;
        const std::size_t afterSigil = m_i;
        while (at(m_i) == '$') {
            ++m_i;
        }
        if (sigil == '$' && at(m_i) == '#') {
            ++m_i;  // $#array, $#{...}, $#$ref, or the variable $# itself
            while (at(m_i) == '$') {
                ++m_i;
            }
        }
        if (isWordStart(at(m_i)) || (at(m_i) == ':' && at(m_i + 1) == ':')) {
            identifier();
        } else if (at(m_i) == '^' && isWordStart(at(m_i + 1))) {
            m_i += 2;
        } else if (isDigit(at(m_i))) {
            while (isDigit(at(m_i))) {
                ++m_i;
            }
        } else if (sigil == '$' && m_i < m_line.size() && at(m_i) != '{' && isAscii(at(m_i)) &&
                   !isSpace(at(m_i)) && m_i == afterSigil) {
            ++m_i;  // $', $", $/, $\ and the other punctuation variables
        }
    }

    std::string_view identifier() {
        const std::size_t start = m_i;
        while (m_i < m_line.size()) {
            if (isWord(m_line[m_i])) {
                ++m_i;
            } else if (m_line[m_i] == ':' && at(m_i + 1) == ':') {
                m_i += 2;
            } else {
                break;
            }
        }
        return m_line.substr(start, m_i - start);
    }

    void number() {
        ++m_i;
        while (isWord(at(m_i)) || (at(m_i) == '.' && isDigit(at(m_i + 1)))) {
            ++m_i;
        }
        m_state.expectTerm = false;
    }

    void word(Previous previous) {
        const std::string_view name = identifier();
        m_state.expectTerm = false;
        if (previous == Previous::Arrow || previous == Previous::Sub) {
            return;  // a method or sub name
        }
        if (name == "__END__" || name == "__DATA__") {
            toCode(false);
            m_state.mode = State::End;
            m_i = m_line.size();
            return;
        }
        if (name == "sub") {
            m_previous = Previous::Sub;
            return;
        }
        if (quoteOperator(name)) {
            return;
        }
        m_state.expectTerm = expectsTerm(name);
    }

    bool quoteOperator(std::string_view name) {
        State::Part part = State::Escaping;
        State::Part nextPart = State::NoPart;
        bool modifiers = false;
        if (name == "q" || name == "qw") {
            part = State::Single;
        } else if (name == "m" || name == "qr") {
            part = State::Pattern;
            modifiers = true;
        } else if (name == "s") {
            part = State::Pattern;
            nextPart = State::Escaping;
            modifiers = true;
        } else if (name == "tr" || name == "y") {
            part = State::Transliteration;
            nextPart = State::Transliteration;
            modifiers = true;
        } else if (name != "qq" && name != "qx") {
            return false;
        }
        std::size_t j = m_i;
        while (j < m_line.size() && isSpace(m_line[j])) {
            ++j;
        }
        const char c = at(j);
        if ((c == '=' && at(j + 1) == '>') || c == '}' || (j > m_i && isWord(c)) ||
            (j < m_line.size() && (!isAscii(c) || c == '\\'))) {
            return false;  // a hash key, or a delimiter this scanner does not follow
        }
        if (c == '\'' && name == "qx") {
            part = State::Single;
        }
        if (c == '\'' && part == State::Pattern) {
            part = State::LiteralPattern;
        }
        if (c == '\'' && name == "s") {
            nextPart = State::Single;
        }
        if (j >= m_line.size() || (c == '#' && j > m_i)) {
            m_state.mode = State::AwaitDelimiter;
            m_state.part = part;
            m_state.nextPart = nextPart;
            m_state.modifiers = modifiers;
            m_i = m_line.size();
            return true;
        }
        m_i = j + 1;
        openQuote(c, part, nextPart, modifiers);
        return true;
    }

    // Marks a character; an ASCII one (length 0) is the script's own syntax, never marked.
    void mark(std::size_t start, int length, MarkKind kind) {
        if (m_marks != nullptr && length > 0) {
            m_marks->push_back({static_cast<int>(start), length, kind});
        }
    }

    const PerlBackslashScanner& m_scanner;
    std::string_view m_line;
    State& m_state;
    std::vector<ByteRange>* m_marks;
    std::size_t m_i = 0;
    Previous m_previous = Previous::Other;
    bool m_sawSpace = true;  // a line break counts as space before a delimiter
    std::size_t m_classStart = std::string_view::npos;  // where this line's class began
};

}  // namespace

void scanCodeLine(const PerlBackslashScanner& scanner, std::string_view line, PerlLineState& state,
                  std::vector<ByteRange>* marks, std::vector<NewHereDoc>& hereDocs) {
    LineScan(scanner, line, state, marks, hereDocs).run();
}

}  // namespace ondrel
