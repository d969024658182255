// Any bytes: decoding and encoding never crash. For bytes that decode without error, the
// text encodes again, and to the same bytes except where code page 932 itself gives one
// character two byte sequences; there the character must still come back the same.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include "documents/cp932.h"

namespace {

bool isLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Rows whose characters have a second byte sequence elsewhere in the code page: NEC row 13
// duplicates, NEC-selected IBM extensions and IBM extensions.
bool inDuplicateRow(unsigned char lead) {
    return lead == 0x87 || lead == 0xED || lead == 0xEE || lead == 0xFA || lead == 0xFB ||
           lead == 0xFC;
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ondrel::Cp932Decoded decoded = ondrel::decodeCp932(bytes);
    if (!decoded.ok()) {
        check(decoded.badOffset >= 0 && decoded.badOffset < bytes.size());
        check(decoded.text.isEmpty());
        return 0;
    }
    const ondrel::Cp932Encoded encoded = ondrel::encodeCp932(decoded.text);
    check(encoded.ok());
    if (encoded.bytes == bytes) {
        return 0;
    }
    check(ondrel::decodeCp932(encoded.bytes).text == decoded.text);
    bool duplicate = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isLead(b)) {
            duplicate = duplicate || inDuplicateRow(b);
            ++i;
        }
    }
    check(duplicate);
    return 0;
}
