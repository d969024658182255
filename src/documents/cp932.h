#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

namespace ondrel {

// Code page 932 (Windows-31J) text, the format of every document file. 0x5C is a backslash,
// 0x7E a tilde; line breaks and a byte-order mark are plain characters like any other.
// Nothing is ever replaced silently: a conversion that cannot be exact says where it fails.

struct Cp932Decoded {
    QString text;
    // Offset of the first byte that is not valid code page 932, or -1 when all are.
    qsizetype badOffset = -1;
    bool ok() const { return badOffset < 0; }
};

// progress, when given, hears how many bytes of how many are decoded, now and then.
using Cp932Progress = std::function<void(qsizetype done, qsizetype total)>;

Cp932Decoded decodeCp932(QByteArrayView bytes, const Cp932Progress& progress = {});

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

Cp932Encoded encodeCp932(QStringView text);

// True for bytes that are valid UTF-8 with at least one character beyond ASCII. Such bytes
// often decode as code page 932 too, but only to nonsense: Shift_JIS text with Japanese in it
// is practically never valid UTF-8.
bool isNonAsciiUtf8(QByteArrayView bytes);

// Every character that code page 932 writes as two bytes ending in 0x5C (ソ, 表, 能 …), in
// code point order: in a Perl string that second byte is a backslash.
QList<char32_t> backslashTrailChars();

}  // namespace ondrel
