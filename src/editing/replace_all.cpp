#include "editing/replace_all.h"

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

qsizetype replacedUtf8Length(QStringView text, QStringView search, QStringView replacement,
                             const ScanProgress& progress) {
    if (search.isEmpty()) {
        return utf8Length(text);
    }
    const qsizetype replacementBytes = utf8Length(replacement);
    Utf8Length length;
    qsizetype from = 0;
    forEachMatch(text, search, progress, [&](qsizetype found) {
        length.add(text.mid(from, found - from));
        length.add(replacement, replacementBytes);
        from = found + search.size();
    });
    length.add(text.mid(from));
    return length.bytes();
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
    const QString text = m_textBox.text();
    // The size comes first, from the matches alone: a result that would not fit is never
    // built, however large it would be. Counting is the first half of the work.
    const qsizetype bytes =
        replacedUtf8Length(text, search, replacement, [&progress](qsizetype done, qsizetype total) {
            progress.setPercent(static_cast<int>(50 * done / total));
        });
    if (bytes > TextBox::maxUtf8Length()) {
        return false;
    }
    const QString replaced =
        replaceAll(text, search, replacement, [&progress](qsizetype done, qsizetype total) {
            progress.setPercent(static_cast<int>(50 + 50 * done / total));
        });
    if (replaced != text) {
        // One replacement of the whole document: one undo step, and linear where a loop of
        // per-match replacements would be quadratic.
        m_textBox.replaceAllText(replaced);
    }
    return true;
}

}  // namespace ondrel
