#include "editing/replace_all.h"

#include <QByteArrayMatcher>
#include <QList>
#include <QStringMatcher>

#include "platform/dialogs.h"
#include "text/size_limit.h"
#include "text/text_box.h"

namespace ondrel {

namespace {

// How far a scan goes between two progress reports.
constexpr qsizetype kScanStep = qsizetype(1) << 20;

// Calls onMatch with the start of every occurrence of a non-empty search, leftmost first and
// never overlapping, in one pass over text.
template <typename OnMatch>
void forEachMatch(QStringView text, QStringView search, const ScanProgress& progress,
                  OnMatch onMatch) {
    const QStringMatcher matcher(search, Qt::CaseSensitive);
    qsizetype from = 0;
    qsizetype nextReport = kScanStep;
    while (from <= text.size() - search.size()) {
        // One window at a time, so the progress moves on through a long stretch without a match;
        // the window reaches far enough to find any occurrence that starts in its first step.
        const qsizetype windowEnd = std::min(text.size(), from + kScanStep + search.size() - 1);
        const qsizetype found = matcher.indexIn(text.first(windowEnd), from);
        if (found < 0) {
            from = windowEnd - search.size() + 1;
        } else {
            onMatch(found);
            from = found + search.size();
        }
        if (progress && from >= nextReport) {
            progress(std::min(from, text.size()), text.size());
            nextReport = from + kScanStep;
        }
    }
}

}  // namespace

QString replaceAll(QStringView text, QStringView search, QStringView replacement,
                   const ScanProgress& progress) {
    if (search.isEmpty()) {
        return text.toString();
    }
    QString result;
    qsizetype from = 0;
    bool matched = false;
    forEachMatch(text, search, progress, [&](qsizetype found) {
        if (!matched) {
            matched = true;
            result.reserve(text.size());
        }
        result.append(text.mid(from, found - from));
        result.append(replacement);
        from = found + search.size();
    });
    if (!matched) {
        return text.toString();
    }
    result.append(text.mid(from));
    return result;
}

ReplaceCommand::ReplaceCommand(TextBox& textBox, Dialogs& dialogs)
    : m_textBox(textBox), m_dialogs(dialogs) {}

void ReplaceCommand::run() {
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
    // Worked on the text area's own UTF-8: a character's bytes never start inside another's,
    // so the byte matches of the search's UTF-8 are exactly its character matches.
    const QByteArray pattern = search.toUtf8();
    const QByteArray replacementBytes = replacement.toUtf8();
    const QByteArrayMatcher matcher(pattern);
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
        const qsizetype found = matcher.indexIn(text, from);
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
    for (qsizetype k = spans.size() - 1; k >= 0; --k) {
        const Span& span = spans[k];
        if (m_textBox.utf8Length() != size + done * delta) {
            break;
        }
        const QByteArrayView original = m_textBox.utf8Range(span.start, span.end - span.start);
        QByteArray replaced;
        replaced.reserve(original.size() + span.matches * delta);
        for (qsizetype from = 0;;) {
            const qsizetype found = matcher.indexIn(original, from);
            if (found < 0) {
                replaced.append(original.sliced(from));
                break;
            }
            replaced.append(original.sliced(from, found - from));
            replaced.append(replacementBytes);
            from = found + pattern.size();
        }
        m_textBox.replaceUtf8(span.start, span.end, replaced);
        done += span.matches;
        progress.setPercent(static_cast<int>(50 + 50 * (size - span.start) / size));
    }
    return true;
}

}  // namespace ondrel
