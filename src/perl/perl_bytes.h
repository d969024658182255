#pragma once

#include <cstddef>
#include <string_view>

// Byte-level helpers the Perl scanner's parts share: ASCII classes and one UTF-8 character.
namespace ondrel::perlbytes {

inline bool isWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

inline bool isWord(char c) {
    return isWordStart(c) || (c >= '0' && c <= '9');
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

inline bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

// One UTF-8 character at i: its length, and its code point (0xFFFFFFFF for a byte that does
// not begin a valid sequence; such a byte counts as one character of its own).
inline int decodeAt(std::string_view s, std::size_t i, char32_t* codePoint) {
    const auto b = static_cast<unsigned char>(s[i]);
    int length = 0;
    char32_t value = 0;
    if (b < 0x80) {
        *codePoint = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        value = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        value = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        value = b & 0x07;
    } else {
        *codePoint = 0xFFFFFFFF;
        return 1;
    }
    if (i + length > s.size()) {
        *codePoint = 0xFFFFFFFF;
        return 1;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80) {
            *codePoint = 0xFFFFFFFF;
            return 1;
        }
        value = (value << 6) | (next & 0x3F);
    }
    *codePoint = value;
    return length;
}

// Whether an @ followed by the byte at next starts an array Perl interpolates ("@name",
// "@::name", "@{...}", "@$ref", "@_", "@:", and outside patterns "@-" and "@+").
inline bool startsArray(std::string_view s, std::size_t next, bool pattern) {
    const char c = next < s.size() ? s[next] : '\0';
    const char after = next + 1 < s.size() ? s[next + 1] : '\0';
    return isWord(c) || c == ':' || c == '{' || c == '$' || (c == '\'' && isWordStart(after)) ||
           (!pattern && (c == '-' || c == '+'));
}

}  // namespace ondrel::perlbytes
