#include "perl/perl_backslash.h"

#include "perl/perl_bytes.h"
#include "perl/perl_line_scan.h"

namespace ondrel {

using namespace perlbytes;

namespace {

using State = PerlLineState;

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

bool startsDirective(std::string_view line, std::string_view directive) {
    return line.substr(0, directive.size()) == directive &&
           (line.size() == directive.size() || !isWord(line[directive.size()]));
}

}  // namespace

PerlBackslashScanner::PerlBackslashScanner(const QHash<char32_t, char>& trailBytes) {
    // Bytes Perl may read as syntax inside a quoted construct: the backslash, the brackets and
    // bar of patterns, @, and the punctuation that can be a delimiter.
    static constexpr std::string_view kSyntax = "@[\\]^`{|}~";
    for (auto it = trailBytes.cbegin(); it != trailBytes.cend(); ++it) {
        if (it.key() < 0x110000 && kSyntax.find(it.value()) != std::string_view::npos) {
            if (it.key() >= m_trails.size()) {
                m_trails.resize(it.key() + 1, '\0');
            }
            m_trails[it.key()] = it.value();
        }
    }
}

PerlLineState PerlBackslashScanner::documentStart() {
    State state;
    state.mode = State::Code;
    return state;
}

std::uint32_t PerlBackslashScanner::intern(const std::vector<HereDoc>& docs) {
    std::string key;
    for (const HereDoc& doc : docs) {
        key += std::to_string(doc.terminator.size());
        key += doc.escaping ? 'e' : 's';
        key += doc.indented ? 'i' : 'n';
        key += doc.terminator;
    }
    const auto found = m_hereDocIds.find(key);
    if (found != m_hereDocIds.end()) {
        return found->second;
    }
    const auto id = static_cast<std::uint32_t>(m_hereDocLists.size());
    m_hereDocLists.push_back(docs);
    m_hereDocIds.emplace(std::move(key), id);
    return id;
}

PerlLineState PerlBackslashScanner::scanLine(std::string_view line, const PerlLineState& start,
                                             std::vector<ByteRange>* marks) {
    State state = start.mode == State::Unscanned ? documentStart() : start;
    if (state.hereDocs != 0) {
        const HereDoc& doc = m_hereDocLists[state.hereDocs][state.hereDocIndex];
        std::string_view content = withoutLineEnd(line);
        if (doc.indented) {
            while (!content.empty() && (content.front() == ' ' || content.front() == '\t')) {
                content.remove_prefix(1);
            }
        }
        if (content == doc.terminator) {
            if (++state.hereDocIndex == m_hereDocLists[state.hereDocs].size()) {
                state.hereDocs = 0;
                state.hereDocIndex = 0;
            }
        } else if (doc.escaping && marks != nullptr) {
            // Escapes and arrays, as in a double-quoted string without a delimiter.
            for (std::size_t i = 0; i < line.size();) {
                char32_t codePoint = 0;
                const int length = decodeAt(line, i, &codePoint);
                const char trail = trailOf(codePoint);
                const std::size_t after = i + length;
                if (trail == '\\' && (after >= line.size() || line[after] != '\\')) {
                    marks->push_back({static_cast<int>(i), length, MarkKind::Escape});
                } else if (trail == '@' && startsArray(line, after, false)) {
                    marks->push_back({static_cast<int>(i), length, MarkKind::Array});
                }
                i += length;
            }
        }
        return state;
    }
    if (state.mode == State::End) {
        return state;
    }
    if (state.mode == State::Pod) {
        if (startsDirective(line, "=cut")) {
            state.mode = State::Code;
            state.expectTerm = true;
        }
        return state;
    }
    if (state.mode == State::Code && line.size() > 1 && line[0] == '=' && isWordStart(line[1]) &&
        !startsDirective(line, "=cut")) {
        state.mode = State::Pod;
        return state;
    }
    std::vector<NewHereDoc> announced;
    scanCodeLine(*this, line, state, marks, announced);
    if (!announced.empty()) {
        std::vector<HereDoc> docs;
        docs.reserve(announced.size());
        for (const NewHereDoc& doc : announced) {
            docs.push_back({std::string(doc.terminator), doc.escaping, doc.indented});
        }
        state.hereDocs = intern(docs);
        state.hereDocIndex = 0;
    }
    return state;
}

std::vector<ByteRange> PerlBackslashScanner::scanText(std::string_view text) {
    std::vector<ByteRange> all;
    std::vector<ByteRange> marks;
    State state = documentStart();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        if (end < text.size()) {
            end += text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
        }
        marks.clear();
        state = scanLine(text.substr(start, end - start), state, &marks);
        for (const ByteRange& range : marks) {
            all.push_back({static_cast<int>(start) + range.start, range.length, range.kind});
        }
        start = end;
    }
    return all;
}

}  // namespace ondrel
