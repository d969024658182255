#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>

#include "documents/cp932.h"

namespace ondrel {

// How a large text is split for conversion: pieces of about pieceBytes, each cut just after a
// line feed (a line feed is never part of another character, in code page 932 as in UTF-8),
// decoded on up to threads threads at once (0: one per core). One setting for the whole
// program; tests change it.
struct Cp932StreamSettings {
    qsizetype pieceBytes = qsizetype(1) << 20;
    int threads = 0;
};
Cp932StreamSettings& cp932StreamSettings();

// How decoding a stream of pieces went.
struct Cp932StreamResult {
    Cp932Forms forms;
    // Offset of the first byte that is not valid code page 932, or -1 when all are.
    qsizetype badOffset = -1;
    // True when the bytes start with the UTF-8 byte-order mark, or are valid UTF-8 with a
    // character of three or more bytes: they may decode as code page 932 too, but only to
    // nonsense. Shift_JIS text is often valid UTF-8 of two-byte characters (half-width katakana
    // pairs), so those alone are no evidence. Where a piece does not decode, the bytes up to
    // the end of that piece are all that is judged.
    bool clearlyUtf8 = false;
    bool ok() const { return badOffset < 0; }
};

// Decodes code page 932 straight to UTF-8, piece by piece, on several cores where there are
// any, and hands each piece's UTF-8 on in the order of the pieces, on the caller's thread.
// The first piece that does not decode ends the work: nothing after it is handed on.
class Cp932Decoder {
public:
    // Hears each piece's UTF-8 and how many bytes of code page 932 are decoded so far.
    using Sink = std::function<void(QByteArrayView utf8, qint64 decoded)>;
    explicit Cp932Decoder(Sink sink);
    ~Cp932Decoder();
    Cp932Decoder(const Cp932Decoder&) = delete;
    Cp932Decoder& operator=(const Cp932Decoder&) = delete;

    // Adds the next piece, which must end after a line feed or be the last. False once the
    // work has ended at a piece that does not decode.
    bool add(const QByteArray& piece);
    // Waits for every piece added and says how it went.
    Cp932StreamResult finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Encodes UTF-8 as encodeCp932 encodes the same text, piece by piece without a copy of the
// whole text in UTF-16; a text that cannot be saved is reported as encodeCp932 reports it.
// The bytes have room for two more, for a line break the caller adds.
Cp932Encoded encodeCp932Utf8(QByteArrayView utf8, const Cp932Forms& forms = {});

}  // namespace ondrel
