// Any bytes as a document: the scanner never crashes and marks only characters whose second
// code page 932 byte can cause that kind of mark, in order and inside the text. Then one line
// break is deleted, as a user would, and the rescan from the edited line must give every line
// the marks a scan of the new text from scratch gives.
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "documents/cp932.h"
#include "fuzz_check.h"
#include "perl/perl_backslash.h"
#include "perl/perl_line_states.h"

namespace {

// Lines as the text area has them: each ends in CR LF, LF or CR, the last maybe in nothing.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        lines.back() += text[i];
        const bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if ((text[i] == '\r' || text[i] == '\n') && !crlf && i + 1 < text.size()) {
            lines.emplace_back();
        }
    }
    return lines;
}

using LineMarks = std::vector<std::vector<ondrel::ByteRange>>;

LineMarks scanAll(ondrel::PerlLineStates& states, const std::vector<std::string>& lines,
                  LineMarks marks) {
    marks.resize(lines.size());
    states.scan(
        1 << 30, [&](int line) { return std::string_view(lines[line]); },
        [&](int line, const std::vector<ondrel::ByteRange>& found) { marks[line] = found; });
    check(states.done());
    return marks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QHash<char32_t, char> trails = ondrel::asciiTrailChars();
    ondrel::PerlBackslashScanner scanner(trails);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int previousEnd = 0;
    for (const ondrel::ByteRange& range : scanner.scanText(text)) {
        check(range.start >= previousEnd && range.length > 0 &&
              static_cast<std::size_t>(range.start + range.length) <= size);
        const QList<uint> codePoints =
            QString::fromUtf8(text.data() + range.start, range.length).toUcs4();
        check(codePoints.size() == 1 && trails.contains(codePoints.front()));
        // Each kind of mark comes only from the second bytes that can cause it.
        const std::string_view causes[] = {"\\", "@[\\]^`{|}~", "[]^{|", "@"};
        check(causes[static_cast<int>(range.kind)].find(trails.value(codePoints.front())) !=
              std::string_view::npos);
        previousEnd = range.start + range.length;
    }

    std::vector<std::string> lines = splitLines(text);
    ondrel::PerlLineStates states(scanner);
    states.reset(static_cast<int>(lines.size()));
    LineMarks marks = scanAll(states, lines, {});
    if (lines.size() < 2) {
        return 0;
    }
    const std::size_t k = data[0] % (lines.size() - 1);
    std::string& joined = lines[k];
    joined.erase(joined.find_first_of("\r\n"));
    joined += lines[k + 1];
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k) + 1);
    marks.erase(marks.begin() + static_cast<std::ptrdiff_t>(k) + 1);
    states.edited(static_cast<int>(k), -1);
    marks = scanAll(states, lines, std::move(marks));

    ondrel::PerlLineStates fresh(scanner);
    fresh.reset(static_cast<int>(lines.size()));
    check(marks == scanAll(fresh, lines, {}));
    return 0;
}
