// The replacement of every occurrence of a byte pattern against a plain reference: scan left to
// right, replace where the pattern starts, jump past it. After a first byte that says where the
// text is cut, the input is split into text, pattern and replacement at two 0xFF bytes; the
// text is replaced in two pieces with one search carried across both, as the replace command
// carries it across its spans.
#include <QByteArray>
#include <QList>

#include <cstdint>

#include "editing/replace_all.h"
#include "fuzz_check.h"

namespace {

QByteArray reference(QByteArrayView text, QByteArrayView pattern, QByteArrayView replacement,
                     qsizetype& count) {
    QByteArray result;
    for (qsizetype i = 0; i < text.size();) {
        const bool found = text.sliced(i).startsWith(pattern);
        result += found ? replacement : text.sliced(i, 1);
        i += found ? pattern.size() : 1;
        count += found ? 1 : 0;
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const QByteArray input(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    const QList<QByteArray> parts = input.split('\xFF');
    if (parts.size() < 3 || parts[0].size() > 4096 || parts[1].isEmpty()) {
        return 0;
    }
    const QByteArrayView text = parts[0];
    const QByteArrayView pieces[] = {text.first(text.size() * data[0] / 255),
                                     text.sliced(text.size() * data[0] / 255)};
    ondrel::ByteSearch search(parts[1]);
    QByteArray result;
    QByteArray expected;
    qsizetype count = 0;
    qsizetype expectedCount = 0;
    for (QByteArrayView piece : pieces) {
        count += ondrel::appendReplaced(result, piece, search, parts[2]);
        expected += reference(piece, parts[1], parts[2], expectedCount);
    }
    check(result == expected && count == expectedCount);
    return 0;
}
