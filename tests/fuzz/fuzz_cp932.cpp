// Any bytes: decoding and encoding never crash. Bytes that decode without error are written
// back, with the forms their decoding noted, exactly as they were, except that a character
// met at more than one code is written at the first of them everywhere. The expected bytes
// are built one character at a time, so they do not rely on the forms being right.
#include <QByteArray>
#include <QHash>
#include <QString>

#include <cstdint>

#include "cp932_text.h"
#include "documents/cp932.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ondrel::Cp932Decoded decoded = ondrel::decodeCp932(bytes);
    if (!decoded.ok()) {
        check(decoded.badOffset >= 0 && decoded.badOffset < bytes.size());
        return 0;
    }
    QHash<QString, QByteArray> firstCode;
    QString text;
    QByteArray expected;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = ondrel::isCp932Lead(static_cast<uchar>(bytes[i])) ? 2 : 1;
        const QByteArray code = bytes.mid(i, length);
        const QString character = ondrel::decodeCp932(code).text;
        check(!character.isEmpty());
        if (!firstCode.contains(character)) {
            firstCode.insert(character, code);
        }
        text += character;
        expected += firstCode.value(character);
        i += length;
    }
    check(text == decoded.text);
    const ondrel::Cp932Encoded encoded = ondrel::encodeCp932(decoded.text, decoded.forms);
    check(encoded.ok());
    check(encoded.bytes == expected);
    return 0;
}
