#include "editing/replace_all.h"

#include <QStringMatcher>

#include "platform/dialogs.h"
#include "text/text_box.h"

namespace ondrel {

QString replaceAll(QStringView text, QStringView search, QStringView replacement) {
    if (search.isEmpty()) {
        return text.toString();
    }
    const QStringMatcher matcher(search, Qt::CaseSensitive);
    qsizetype from = 0;
    qsizetype found = matcher.indexIn(text, from);
    if (found < 0) {
        return text.toString();
    }
    QString result;
    result.reserve(text.size());
    while (found >= 0) {
        result.append(text.mid(from, found - from));
        result.append(replacement);
        from = found + search.size();
        found = matcher.indexIn(text, from);
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
    const QString text = m_textBox.text();
    const QString replaced = replaceAll(text, search, replacement);
    if (replaced != text) {
        // One replacement of the whole document: one undo step, and linear where a loop of
        // per-match replacements would be quadratic.
        m_textBox.replaceAllText(replaced);
    }
    m_textBox.select(0, 0);
}

}  // namespace ondrel
