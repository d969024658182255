#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <array>
#include <bitset>

#include "documents/cp932.h"

struct UConverter;

// The one converter of code page 932 (ICU's "windows-31j") and what the code page needs
// beyond it, for cp932.cpp; nothing else converts code page 932.
namespace ondrel::cp932 {

inline bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Converts code page 932 to UTF-8, or UTF-8 to code page 932, as the code page reads and
// writes, where ICU's table differs from it:
// - the three controls its table trades among themselves (0x1A, 0x1C, 0x7F) stay in place;
// - the single bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF read as U+0080 and U+F8F0 to U+F8F3
//   and are written back;
// - the JIS spellings of six characters are written at the code page's codes.
// Any other byte or character it cannot convert exactly stops it: nothing is substituted,
// and no character is dropped (ICU's own stop drops the ignorable ones, U+FEFF among them).
// Private-use characters ICU writes at another character's code are not stopped here:
// `CodeTable::writable` knows them.
class Converter {
public:
    enum class Direction { ToUtf8, FromUtf8 };
    explicit Converter(Direction direction);
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the next bytes of a stream into target: a character cut at the end of source
    // is finished by the next call, and last says that nothing follows. target has room for
    // all of it (3 bytes of UTF-8 for each byte of code page 932, a byte of code page 932 for
    // each of UTF-8), and ICU takes less than 2 GiB of room in one call. The number of bytes
    // written, or -1 once the conversion has stopped.
    qsizetype convert(QByteArrayView source, char* target, qsizetype room, bool last);

private:
    Direction m_direction;
    UConverter* m_source = nullptr;
    UConverter* m_target = nullptr;
    // ICU converts through UTF-16; what is in this buffer between calls belongs to the stream.
    std::array<char16_t, 1024> m_pivot{};
    char16_t* m_pivotSource = nullptr;
    char16_t* m_pivotTarget = nullptr;
    bool m_started = false;
    bool m_stopped = false;
};

// What the converter reads and writes, learnt from it once, then shared by every thread.
struct CodeTable {
    static constexpr char16_t kNone = 0xFFFF;  // no code reads as U+FFFF
    // The character each code reads as: a single byte, or lead << 8 | trail.
    std::array<char16_t, 0x10000> character{};
    // Codes the converter writes back for the character they read as.
    std::bitset<0x10000> roundTrip;
    // Characters of the Basic Multilingual Plane that are written as bytes that read back as
    // themselves or, for a JIS spelling, as the code page's spelling. No character beyond
    // that plane is.
    std::bitset<0x10000> writable;
    // UTF-8 lead bytes from which a character the converter accepts may not be writable.
    unsigned char checkFromLead = 0xF0;

    // The characters code page 932 holds at more than one code: every code of such a
    // character, preferred or not, and the character.
    QHash<quint16, char16_t> duplicate;
    // The code the converter writes for such a character.
    QHash<char16_t, quint16> preferred;
    // Lead bytes that start any code of such a character.
    std::array<bool, 256> duplicateLead{};

    bool reads(quint16 code) const { return character[code] != kNone; }
    bool isWritable(char32_t c) const { return c < 0x10000 && writable[c]; }
};
const CodeTable& codeTable();

// Rewrites, in bytes the converter wrote, each character forms names at the code it names.
void applyForms(QByteArray& bytes, const Cp932Forms& forms);

// For each character held at more than one code, the code bytes use for it first.
QHash<char16_t, quint16> firstCodes(QByteArrayView bytes);

// The offset of the first character of bytes that does not decode.
qsizetype firstBadByte(QByteArrayView bytes);

// Whether a piece of UTF-8 the converter accepted holds a character that is not writable.
bool holdsUnwritable(QByteArrayView utf8);

}  // namespace ondrel::cp932
