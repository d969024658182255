#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>

#include "documents/cp932.h"

namespace ondrel {

// Bytes of code page 932 read as Open reads them, into one UTF-16 text.
struct Cp932Decoded {
    QString text;  // empty when any byte does not decode
    Cp932Forms forms;
    qsizetype badOffset = -1;  // of the first byte that does not decode, or -1
    bool ok() const { return badOffset < 0; }
};

inline Cp932Decoded decodeCp932(QByteArrayView bytes) {
    QByteArray utf8;
    Cp932Decoder decoder([&utf8](QByteArrayView part, qint64) { utf8 += part; });
    // Pieces cut after line feeds, as Open cuts them; the bytes outlive the decoder, so the
    // pieces need no copies of their own.
    const qsizetype pieceBytes = std::max<qsizetype>(1, cp932StreamSettings().pieceBytes);
    for (qsizetype from = 0; from < bytes.size();) {
        const QByteArrayView window = bytes.sliced(from, std::min(pieceBytes, bytes.size() - from));
        qsizetype end = window.lastIndexOf('\n');
        end = end >= 0 ? from + end : bytes.indexOf('\n', from + window.size());
        end = end < 0 ? bytes.size() : end + 1;
        if (!decoder.add(QByteArray::fromRawData(bytes.data() + from, end - from))) {
            break;
        }
        from = end;
    }
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
