#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include "documents/cp932.h"

namespace ondrel {

// Code page 932 to and from UTF-16 text, as the tests compare them.

// Bytes of code page 932 read as Open reads them, into one UTF-16 text.
struct Cp932Decoded {
    QString text;  // empty when any byte does not decode
    Cp932Forms forms;
    qsizetype badOffset = -1;  // of the first byte that does not decode, or -1
    bool ok() const { return badOffset < 0; }
};

// A text encoded as Save encodes the text area's UTF-8. A lone surrogate, which UTF-8 cannot
// hold, would reach it as '?'.
inline Cp932Encoded encodeCp932(QStringView text, const Cp932Forms& forms = {}) {
    return encodeCp932Utf8(text.toUtf8(), forms);
}

inline Cp932Decoded decodeCp932(QByteArrayView bytes) {
    QByteArray utf8;
    Cp932Decoder decoder([&utf8](QByteArrayView part, qint64) { utf8 += part; });
    // One piece, the last; the bytes outlive the decoder, so it needs no copy of its own.
    decoder.add(QByteArray::fromRawData(bytes.data(), bytes.size()));
    const Cp932StreamResult streamed = decoder.finish();
    Cp932Decoded result;
    result.badOffset = streamed.badOffset;
    if (streamed.ok()) {
        result.text = QString::fromUtf8(utf8);
        result.forms = streamed.forms;
    }
    return result;
}

}  // namespace ondrel
