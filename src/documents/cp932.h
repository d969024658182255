#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ondrel {

// Code page 932 (Windows-31J) text, the format of every document file, converted straight to
// and from the text area's UTF-8. 0x5C is a backslash, 0x7E a tilde; line breaks and a
// byte-order mark are plain characters like any other. Nothing is ever replaced silently: a
// conversion that cannot be exact says where it fails.

// Some characters have more than one code in code page 932 (NEC row 13, the NEC-selected and
// the IBM extensions, a few symbols of row 0x81), and the converter writes only one of them.
// For each such character whose first code in a file is not the converter's: the character and
// that code (lead byte << 8 | trail byte). Saving with them gives the file its own bytes back.
using Cp932Forms = QHash<char16_t, quint16>;

// How a large text is split for conversion: pieces of about pieceBytes, each cut just after a
// line feed (a line feed is never part of another character, in code page 932 as in UTF-8),
// decoded on up to threads threads at once (0: one per core). A longer line is converted and
// handed on in parts of less than twice pieceBytes. One setting for the whole program; tests
// change it.
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
// any, and hands the UTF-8 on in the order of the pieces, on the caller's thread.
// The first piece that does not decode ends the work: nothing of it or after it is handed on.
class Cp932Decoder {
public:
    // Hears each part's UTF-8 and how many bytes of code page 932 are decoded so far.
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

// A character code page 932 cannot hold, with its 1-based line and column (in characters).
struct UnencodableChar {
    qsizetype line = 0;
    qsizetype column = 0;
    char32_t codePoint = 0;
};

struct Cp932Encoded {
    QByteArray bytes;                         // empty when any character cannot be encoded
    QList<UnencodableChar> firstUnencodable;  // at most kReportedUnencodable of them
    qsizetype unencodableCount = 0;
    bool ok() const { return unencodableCount == 0; }
};

constexpr int kReportedUnencodable = 5;

// Encodes UTF-8, piece by piece. Every character is written as bytes that read back as that
// character, except the JIS spellings of six characters (U+301C, U+2016, U+2212, U+00A2,
// U+00A3, U+00AC), written at the codes of the code page's spellings; any other character is
// reported (a byte that is not UTF-8 as U+FFFD). forms, when given, are the codes written for
// the characters it names. The bytes have room for two more, for a line break the caller adds.
Cp932Encoded encodeCp932Utf8(QByteArrayView utf8, const Cp932Forms& forms = {});

// A short text in code page 932 (a file name) read whole, or nothing when a byte of it does
// not decode.
std::optional<QString> cp932Text(QByteArrayView bytes);

// Every character that code page 932 writes as two bytes ending in byte, in code point order.
QList<char32_t> trailByteChars(char byte);

// Those ending in 0x5C (ソ, 表, 能 …): in a Perl string that second byte is a backslash.
inline QList<char32_t> backslashTrailChars() {
    return trailByteChars('\\');
}

// Every character that code page 932 writes as two bytes whose second is ASCII (0x40 to 0x7E),
// with that byte: in a Perl script the second byte of 本 is a brace, of ポ a vertical bar.
QHash<char32_t, char> asciiTrailChars();

}  // namespace ondrel
