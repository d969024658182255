#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>

namespace ondrel {

// Code page 932 (Windows-31J) text, the format of every document file. 0x5C is a backslash,
// 0x7E a tilde; line breaks and a byte-order mark are plain characters like any other.
// Nothing is ever replaced silently: a conversion that cannot be exact says where it fails.

// Some characters have more than one code in code page 932 (NEC row 13, the NEC-selected and
// the IBM extensions, a few symbols of row 0x81), and the converter writes only one of them.
// For each such character whose first code in a file is not the converter's: the character and
// that code (lead byte << 8 | trail byte). Saving with them gives the file its own bytes back.
using Cp932Forms = QHash<char16_t, quint16>;

struct Cp932Decoded {
    QString text;
    Cp932Forms forms;
    // Offset of the first byte that is not valid code page 932, or -1 when all are.
    qsizetype badOffset = -1;
    bool ok() const { return badOffset < 0; }
};

Cp932Decoded decodeCp932(QByteArrayView bytes);

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

// The JIS spellings of six characters (U+301C, U+2016, U+2212, U+00A2, U+00A3, U+00AC) are
// written at the codes of the code page's spellings. forms, when given, are the codes written
// for the characters it names.
Cp932Encoded encodeCp932(QStringView text, const Cp932Forms& forms = {});

// Every character that code page 932 writes as two bytes ending in 0x5C (ソ, 表, 能 …), in
// code point order: in a Perl string that second byte is a backslash.
QList<char32_t> backslashTrailChars();

// Every character that code page 932 writes as two bytes whose second is ASCII (0x40 to 0x7E),
// with that byte: in a Perl script the second byte of 本 is a brace, of ポ a vertical bar.
QHash<char32_t, char> asciiTrailChars();

}  // namespace ondrel
