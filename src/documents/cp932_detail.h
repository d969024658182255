#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <array>

#include "documents/cp932.h"

// What the conversions of code page 932 (cp932.cpp, cp932_stream.cpp) share; nothing else
// needs it.
namespace ondrel::cp932detail {

inline bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline quint16 codeAt(QByteArrayView bytes, qsizetype i) {
    return static_cast<quint16>((static_cast<unsigned char>(bytes[i]) << 8) |
                                static_cast<unsigned char>(bytes[i + 1]));
}

// The characters code page 932 holds at more than one code, learnt once from the converter:
// every code it reads that it would write as another.
struct DuplicateCodes {
    // Every code of such a character, preferred or not, and the character.
    QHash<quint16, char16_t> character;
    // The code the converter writes for such a character.
    QHash<char16_t, quint16> preferred;
    // Lead bytes that start a code the converter never writes.
    std::array<bool, 256> alternateLead{};
    // Lead bytes that start any code of such a character.
    std::array<bool, 256> duplicateLead{};

    bool isAlternate(quint16 code) const {
        const char16_t c = character.value(code);
        return c != 0 && preferred.value(c) != code;
    }
};

// Learnt from the converter on first use, then shared by every thread.
const DuplicateCodes& duplicateCodes();

// Rewrites, in bytes the converter wrote, each character forms names at the code it names.
void applyForms(QByteArray& bytes, const Cp932Forms& forms);

// The converter's table trades three controls among themselves (byte 0x1A reads as U+001C,
// 0x1C as U+007F, 0x7F as U+001A, and writes them back the same way). These put them back in
// place: on the converter's UTF-8 output, and on the code page bytes it wrote. The three bytes
// are never part of a two-byte code, so no other character is touched.
void fixControlsRead(char* utf8, qsizetype size);
void fixControlsWritten(char* bytes, qsizetype size);

// The offset of the first character of bytes that does not decode, for bytes the converter
// refused.
qsizetype firstBadByte(QByteArrayView bytes);

}  // namespace ondrel::cp932detail
