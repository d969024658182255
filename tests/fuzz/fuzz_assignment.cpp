// The assignment text keeps the name and the value exactly as typed, whatever they hold
// (quotes, backslashes, line breaks, NUL), between the fixed pieces around them.
#include <QString>

#include <cstdint>
#include <cstdlib>

#include "snippets/assignments.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\xFF');
    if (split < 0) {
        return 0;
    }
    const QString name = QString::fromUtf8(input.left(split));
    const QString value = QString::fromUtf8(input.mid(split + 1));
    const QString text = ondrel::assignmentText(name, value);
    const bool exact = text.size() == name.size() + value.size() + 10 && text.startsWith(name) &&
                       text.mid(name.size(), 4) == QLatin1String(" = \"") &&
                       text.mid(name.size() + 4, value.size()) == value &&
                       text.endsWith(QLatin1String("\";\r\n\r\n"));
    if (!exact) {
        std::abort();
    }
    return 0;
}
