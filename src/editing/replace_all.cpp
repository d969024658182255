#include "editing/replace_all.h"

#include <QList>

#include <cstring>

#include "platform/dialogs.h"
#include "text/size_limit.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

// How far a scan goes between two progress reports.
constexpr qsizetype kScanStep = qsizetype(1) << 20;
// Bytes compared in vain that the quick search may spend before the automaton takes over.
constexpr qsizetype kFalseStartAllowance = 4096;

}  // namespace

ByteSearch::ByteSearch(QByteArray pattern) : m_pattern(std::move(pattern)) {}

qsizetype ByteSearch::indexIn(QByteArrayView text, qsizetype from) {
    const qsizetype length = m_pattern.size();
    if (length == 0 || from < 0 || text.size() - from < length) {
        return -1;
    }
    if (!m_borders.empty()) {
        return automatonIndexIn(text, from);
    }
    // memchr finds the pattern's first byte far faster than any skipping search; each place it
    // stops is then compared.
    const char* const begin = text.data();
    const char* const lastStart = begin + (text.size() - length);
    const char* at = begin + from;
    while (at <= lastStart) {
        const char* const found =
            static_cast<const char*>(std::memchr(at, m_pattern[0], lastStart - at + 1));
        if (found == nullptr) {
            return -1;
        }
        m_scanned += found - at + 1;
        qsizetype same = 1;
        while (same < length && found[same] == m_pattern[same]) {
            ++same;
        }
        if (same == length) {
            return found - begin;
        }
        m_wasted += same;
        // Near misses that keep comparing much of a long pattern would make this quadratic:
        // past an allowance the automaton, which reads each byte once, goes on.
        if (m_wasted > kFalseStartAllowance + m_scanned / 4) {
            buildBorders();
            return automatonIndexIn(text, found + 1 - begin);
        }
        at = found + 1;
    }
    return -1;
}

void ByteSearch::buildBorders() {
    // m_borders[i]: the length of the longest proper prefix of the pattern's first i + 1 bytes
    // that is also their suffix.
    m_borders.assign(static_cast<std::size_t>(m_pattern.size()), 0);
    qsizetype border = 0;
    for (qsizetype i = 1; i < m_pattern.size(); ++i) {
        while (border > 0 && m_pattern[i] != m_pattern[border]) {
            border = m_borders[static_cast<std::size_t>(border - 1)];
        }
        if (m_pattern[i] == m_pattern[border]) {
            ++border;
        }
        m_borders[static_cast<std::size_t>(i)] = border;
    }
}

qsizetype ByteSearch::automatonIndexIn(QByteArrayView text, qsizetype from) const {
    qsizetype matched = 0;
    for (qsizetype i = from; i < text.size(); ++i) {
        while (matched > 0 && text[i] != m_pattern[matched]) {
            matched = m_borders[static_cast<std::size_t>(matched - 1)];
        }
        if (text[i] == m_pattern[matched] && ++matched == m_pattern.size()) {
            return i + 1 - matched;
        }
    }
    return -1;
}

qsizetype appendReplaced(QByteArray& out, QByteArrayView text, ByteSearch& search,
                         QByteArrayView replacement) {
    qsizetype replaced = 0;
    qsizetype from = 0;
    for (qsizetype found; (found = search.indexIn(text, from)) >= 0; ++replaced) {
        out.append(text.sliced(from, found - from));
        out.append(replacement);
        from = found + search.patternSize();
    }
    out.append(text.sliced(from));
    return replaced;
}

ReplaceCommand::ReplaceCommand(TextBox& textBox, Dialogs& dialogs)
    : m_textBox(textBox), m_dialogs(dialogs) {}

void ReplaceCommand::run() {
    if (!editableOrRefuse(m_textBox, m_dialogs)) {
        return;
    }
    const QString title = QStringLiteral("検索置換");
    const QString search = m_dialogs.prompt(QStringLiteral("検索する文字列"), title, QString());
    if (search.isEmpty()) {
        return;
    }
    const QString replacement =
        m_dialogs.prompt(QStringLiteral("置換後の文字列"), title, QString());
    if (replacement.isEmpty()) {
        return;
    }
    bool replaced = false;
    {
        const std::unique_ptr<Progress> progress =
            m_dialogs.startProgress(QStringLiteral("置換しています…"));
        replaced = replaceInDocument(search, replacement, *progress);
    }
    if (!replaced) {
        refuseTooLarge(m_dialogs);
        return;
    }
    m_textBox.select(0, 0);
}

bool ReplaceCommand::replaceInDocument(const QString& search, const QString& replacement,
                                       Progress& progress) {
    // The document holds no lone surrogate, so a search holding one finds nothing.
    for (qsizetype i = 0; i < search.size(); ++i) {
        if (search[i].isHighSurrogate() && i + 1 < search.size() &&
            search[i + 1].isLowSurrogate()) {
            ++i;
        } else if (search[i].isSurrogate()) {
            return true;
        }
    }
    // Worked on the text area's own UTF-8, where byte matches are character matches.
    const QByteArray pattern = search.toUtf8();
    const QByteArray replacementBytes = replacement.toUtf8();
    ByteSearch finder(pattern);
    const qsizetype size = m_textBox.utf8Length();
    // Spans of about kSegment bytes, each from the start of a match to the end of a later
    // one, with the number of matches in it: replaced one at a time, a span needs a new text
    // of its own size only, never one of the whole document's.
    constexpr qsizetype kSegment = qsizetype(4) << 20;
    struct Span {
        qsizetype start;
        qsizetype end;
        qsizetype matches;
    };
    QList<Span> spans;
    qsizetype matches = 0;
    // The size comes first, from the matches alone: a result that would not fit is never
    // built, however large it would be. Counting is the first half of the work.
    QByteArrayView text = m_textBox.utf8Text();
    qsizetype nextReport = kScanStep;
    for (qsizetype from = 0;;) {
        const qsizetype found = finder.indexIn(text, from);
        if (found < 0) {
            break;
        }
        if (spans.isEmpty() || found + pattern.size() - spans.last().start > kSegment) {
            spans.append({found, found, 0});
        }
        spans.last().end = found + pattern.size();
        ++spans.last().matches;
        ++matches;
        from = found + pattern.size();
        if (from >= nextReport) {
            progress.setPercent(static_cast<int>(50 * from / size));
            nextReport = from + kScanStep;
            // The progress lets events through; nothing may change the document meanwhile,
            // but its bytes are looked up again all the same.
            text = m_textBox.utf8Text();
            if (text.size() != size) {
                return true;
            }
        }
    }
    const qsizetype delta = replacementBytes.size() - pattern.size();
    const qsizetype bytes = size + matches * delta;
    if (bytes > TextBox::maxUtf8Length()) {
        return false;
    }
    if (matches == 0 || pattern == replacementBytes) {
        return true;
    }
    // Room for the result first, so the text moves once at most rather than at every span.
    if (bytes > size) {
        m_textBox.reserveUtf8(bytes + 1);
    }
    // One undo step; from the last span to the first, so that the spans still to do keep
    // their places.
    TextBox::UndoStep step(m_textBox);
    qsizetype done = 0;
    // One buffer for every span: its memory is touched once, not once a span.
    QByteArray replaced;
    for (qsizetype k = spans.size() - 1; k >= 0; --k) {
        const Span& span = spans[k];
        if (m_textBox.utf8Length() != size + done * delta) {
            break;
        }
        const QByteArrayView original = m_textBox.utf8Range(span.start, span.end - span.start);
        replaced.resize(0);  // keeps its capacity
        replaced.reserve(original.size() + span.matches * delta);
        done += appendReplaced(replaced, original, finder, replacementBytes);
        m_textBox.replaceUtf8(span.start, span.end, replaced);
        progress.setPercent(static_cast<int>(50 + 50 * (size - span.start) / size));
    }
    return true;
}

}  // namespace ondrel
