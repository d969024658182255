#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
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

inline bool isCp932Lead(uchar b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Every byte sequence of one character that the code page defines (NUL, CR and LF among
// them), found by asking the decoder about each single byte and each lead and trail pair.
inline QList<QByteArray> everyCp932Character() {
    QList<QByteArray> valid;
    for (int code = 0; code < 0x10000; ++code) {
        QByteArray c(code < 0x100 ? 1 : 2, char(code >> 8));
        c.back() = char(code);
        if (isCp932Lead(uchar(c[0])) == (c.size() == 2) && decodeCp932(c).ok()) {
            valid.append(c);
        }
    }
    return valid;
}

}  // namespace ondrel
