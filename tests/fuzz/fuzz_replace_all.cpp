// replaceAll against a plain reference: scan left to right, replace where the search string
// starts, jump past it. The input is split into text, search and replacement at two 0xFF
// bytes.
#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include "editing/replace_all.h"

namespace {

QString reference(const QString& text, const QString& search, const QString& replacement) {
    if (search.isEmpty()) {
        return text;
    }
    QString result;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.mid(i, search.size()) == search) {
            result += replacement;
            i += search.size();
        } else {
            result += text[i];
            ++i;
        }
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> parts = input.split('\xFF');
    if (parts.size() < 3 || parts[0].size() > 4096) {
        return 0;
    }
    const QString text = QString::fromUtf8(parts[0]);
    const QString search = QString::fromUtf8(parts[1]);
    const QString replacement = QString::fromUtf8(parts[2]);
    if (ondrel::replaceAll(text, search, replacement) != reference(text, search, replacement)) {
        std::abort();
    }
    return 0;
}
