#include "documents/cp932_codec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace ondrel::cp932 {

namespace {

quint16 codeAt(QByteArrayView bytes, qsizetype i) {
    return static_cast<quint16>((static_cast<unsigned char>(bytes[i]) << 8) |
                                static_cast<unsigned char>(bytes[i + 1]));
}

// Five single bytes ICU's table refuses, which the code page 932 of the desktop reads and
// writes back: 0x80 as U+0080, the others at the end of the private use area.
constexpr std::array<std::pair<unsigned char, char16_t>, 5> kSingleBytes = {{
    {0x80, u'\u0080'},
    {0xA0, u'\uF8F0'},
    {0xFD, u'\uF8F1'},
    {0xFE, u'\uF8F2'},
    {0xFF, u'\uF8F3'},
}};

// Six characters of JIS X 0208 have two Unicode spellings: the JIS one, which Linux input
// methods type and ICU refuses, and the code page's own, which it writes at the same code.
constexpr std::array<std::pair<char16_t, char16_t>, 6> kJisSpellings = {{
    {u'\u301C', u'\uFF5E'},  // wave dash
    {u'\u2016', u'\u2225'},  // double vertical line
    {u'\u2212', u'\uFF0D'},  // minus sign
    {u'\u00A2', u'\uFFE0'},  // cent sign
    {u'\u00A3', u'\uFFE1'},  // pound sign
    {u'\u00AC', u'\uFFE2'},  // not sign
}};

char16_t codePageSpelling(char32_t c) {
    for (const auto& [jis, codePage] : kJisSpellings) {
        if (c == jis) {
            return codePage;
        }
    }
    return 0;
}

// Called by ICU for every byte sequence it cannot read: the single bytes above are read,
// anything else (and a lead byte cut off by the end of the text) stops the conversion.
void readSingleBytes(const void*, UConverterToUnicodeArgs* args, const char* bytes, int32_t length,
                     UConverterCallbackReason reason, UErrorCode* error) {
    if ((reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL) || length != 1 ||
        *error == U_TRUNCATED_CHAR_FOUND) {
        return;
    }
    for (const auto& [byte, c] : kSingleBytes) {
        if (static_cast<unsigned char>(bytes[0]) == byte) {
            *error = U_ZERO_ERROR;
            const UChar unit = c;
            ucnv_cbToUWriteUChars(args, &unit, 1, 0, error);
            return;
        }
    }
}

// Called by ICU for every character it cannot write: the single bytes' characters and the
// JIS spellings are written, anything else stops the conversion.
void writeSpellings(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t, UChar32 c,
                    UConverterCallbackReason reason, UErrorCode* error) {
    if (reason != UCNV_UNASSIGNED) {
        return;
    }
    for (const auto& [byte, character] : kSingleBytes) {
        if (c == character) {
            *error = U_ZERO_ERROR;
            const char written = static_cast<char>(byte);
            ucnv_cbFromUWriteBytes(args, &written, 1, 0, error);
            return;
        }
    }
    if (const char16_t spelling = codePageSpelling(c)) {
        *error = U_ZERO_ERROR;
        const UChar unit = spelling;
        const UChar* from = &unit;
        ucnv_cbFromUWriteUChars(args, &from, from + 1, 0, error);
    }
}

// Every refusal stops the conversion, in both directions of both converters.
UConverter* openConverter(const char* name) {
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &error);
    if (converter == nullptr || U_FAILURE(error)) {
        return nullptr;
    }
    const bool codePage = std::strcmp(name, "UTF-8") != 0;
    ucnv_setToUCallBack(converter, codePage ? readSingleBytes : UCNV_TO_U_CALLBACK_STOP, nullptr,
                        nullptr, nullptr, &error);
    ucnv_setFromUCallBack(converter, codePage ? writeSpellings : UCNV_FROM_U_CALLBACK_STOP, nullptr,
                          nullptr, nullptr, &error);
    if (U_FAILURE(error)) {
        ucnv_close(converter);
        return nullptr;
    }
    return converter;
}

constexpr const char* kCodec = "windows-31j";

void fixControlsRead(char* utf8, qsizetype size) {
    for (char* c = utf8; c != utf8 + size; ++c) {
        *c = *c == '\x1C' ? '\x1A' : *c == '\x7F' ? '\x1C' : *c == '\x1A' ? '\x7F' : *c;
    }
}

void fixControlsWritten(char* bytes, qsizetype size) {
    for (char* c = bytes; c != bytes + size; ++c) {
        *c = *c == '\x7F' ? '\x1A' : *c == '\x1A' ? '\x1C' : *c == '\x1C' ? '\x7F' : *c;
    }
}

// One character through the code page converter alone: the UTF-16 of bytes, or the bytes of
// a character; empty when it stops.
QString readOne(UConverter* converter, const char* bytes, int length) {
    UChar out[4];
    UErrorCode error = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(converter, out, 4, bytes, length, &error);
    return U_SUCCESS(error) ? QString(reinterpret_cast<const QChar*>(out), n) : QString();
}

// The bytes of one character, or nothing when the converter stops at it.
std::optional<QByteArray> writeOne(UConverter* converter, char16_t c) {
    char out[8];
    UErrorCode error = U_ZERO_ERROR;
    const UChar unit = c;
    const int32_t n = ucnv_fromUChars(converter, out, sizeof out, &unit, 1, &error);
    return U_SUCCESS(error) ? std::optional<QByteArray>(QByteArray(out, n)) : std::nullopt;
}

CodeTable learnCodeTable() {
    CodeTable table;
    table.character.fill(CodeTable::kNone);
    UConverter* converter = openConverter(kCodec);
    if (converter == nullptr) {
        return table;  // nothing reads, nothing is written
    }
    // The controls' trade is undone around the converter, so every ASCII byte is itself.
    for (int b = 0; b < 0x80; ++b) {
        table.character[b] = static_cast<char16_t>(b);
        table.writable[b] = true;
    }
    for (int code = 0x80; code < 0x10000; ++code) {
        const auto lead = static_cast<unsigned char>(code >> 8);
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(code)};
        const bool single = code < 0x100;
        if (single ? isLeadByte(static_cast<unsigned char>(code)) : !isLeadByte(lead)) {
            continue;
        }
        const QString read =
            single ? readOne(converter, bytes + 1, 1) : readOne(converter, bytes, 2);
        if (read.size() == 1) {
            table.character[code] = read[0].unicode();
        }
    }
    // What each character is written as, read back through the table.
    std::vector<quint16> writtenCode(0x10000, 0);
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        const std::optional<QByteArray> written = writeOne(converter, static_cast<char16_t>(c));
        if (!written) {
            continue;  // a conversion stops at it
        }
        const auto first = static_cast<unsigned char>(written->isEmpty() ? 0 : written->at(0));
        if (written->size() == (isLeadByte(first) ? 2 : 1)) {
            const quint16 code = written->size() == 2 ? codeAt(*written, 0) : first;
            const char16_t back = table.character[code];
            table.writable[c] =
                back == c || (back != CodeTable::kNone && back == codePageSpelling(c));
            writtenCode[c] = code;
        }
        if (!table.writable[c]) {
            // Accepted by the converter, so only a check after it finds it.
            const unsigned char lead = c < 0x800 ? 0xC0 | (c >> 6) : 0xE0 | (c >> 12);
            table.checkFromLead = std::min(table.checkFromLead, lead);
        }
    }
    // The codes that are not the ones written for their character.
    for (int code = 0x80; code < 0x10000; ++code) {
        const char16_t c = table.character[code];
        if (c == CodeTable::kNone || !table.writable[c]) {
            continue;
        }
        const quint16 preferred = writtenCode[c];
        if (preferred == code) {
            table.roundTrip[code] = true;
        } else if (code > 0xFF && preferred > 0xFF && table.character[preferred] == c) {
            // Only a two-byte code that reads as the same character can stand in for
            // another in place.
            table.duplicate.insert(static_cast<quint16>(code), c);
            table.duplicate.insert(preferred, c);
            table.preferred.insert(c, preferred);
            table.duplicateLead[code >> 8] = true;
            table.duplicateLead[preferred >> 8] = true;
        }
    }
    ucnv_close(converter);
    return table;
}

}  // namespace

Converter::Converter(Direction direction)
    : m_direction(direction), m_pivotSource(m_pivot.data()), m_pivotTarget(m_pivot.data()) {
    const bool toUtf8 = direction == Direction::ToUtf8;
    m_source = openConverter(toUtf8 ? kCodec : "UTF-8");
    m_target = openConverter(toUtf8 ? "UTF-8" : kCodec);
    m_stopped = m_source == nullptr || m_target == nullptr;
}

Converter::~Converter() {
    for (UConverter* converter : {m_source, m_target}) {
        if (converter != nullptr) {
            ucnv_close(converter);
        }
    }
}

qsizetype Converter::convert(QByteArrayView source, char* target, qsizetype room, bool last) {
    if (m_stopped) {
        return -1;
    }
    UErrorCode error = U_ZERO_ERROR;
    char* out = target;
    const char* in = source.data();
    auto* pivot = reinterpret_cast<UChar*>(m_pivot.data());
    ucnv_convertEx(m_target, m_source, &out, target + room, &in, in + source.size(), pivot,
                   reinterpret_cast<UChar**>(&m_pivotSource),
                   reinterpret_cast<UChar**>(&m_pivotTarget), pivot + m_pivot.size(), !m_started,
                   last, &error);
    m_started = true;
    if (U_FAILURE(error) || in != source.data() + source.size()) {
        m_stopped = true;
        return -1;
    }
    const qsizetype written = out - target;
    if (m_direction == Direction::ToUtf8) {
        fixControlsRead(target, written);
    } else {
        fixControlsWritten(target, written);
    }
    return written;
}

const CodeTable& codeTable() {
    static const CodeTable table = learnCodeTable();
    return table;
}

// Both codes are two bytes long, so the bytes only change in place.
void applyForms(QByteArray& bytes, const Cp932Forms& forms) {
    if (forms.isEmpty()) {
        return;
    }
    const CodeTable& table = codeTable();
    QHash<quint16, quint16> replacement;
    std::array<bool, 256> replacedLead{};
    for (auto it = forms.constBegin(); it != forms.constEnd(); ++it) {
        const quint16 preferred = table.preferred.value(it.key());
        // A code that is not one of this character's would write another character.
        if (preferred != 0 && preferred != it.value() &&
            table.duplicate.value(it.value()) == it.key()) {
            replacement.insert(preferred, it.value());
            replacedLead[preferred >> 8] = true;
        }
    }
    if (replacement.isEmpty()) {
        return;
    }
    char* data = bytes.data();
    for (qsizetype i = 0; i + 1 < bytes.size();) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (!isLeadByte(b)) {
            ++i;
            continue;
        }
        if (replacedLead[b]) {
            const auto found = replacement.constFind(codeAt(bytes, i));
            if (found != replacement.constEnd()) {
                data[i] = static_cast<char>(*found >> 8);
                data[i + 1] = static_cast<char>(*found & 0xFF);
            }
        }
        i += 2;
    }
}

QHash<char16_t, quint16> firstCodes(QByteArrayView bytes) {
    const CodeTable& table = codeTable();
    QHash<char16_t, quint16> first;
    for (qsizetype i = 0; i < bytes.size();) {
        // Eight single-byte characters at once, as long as there are some.
        quint64 word;
        if (i + 8 <= bytes.size() &&
            (std::memcpy(&word, bytes.data() + i, 8), (word & 0x8080808080808080ULL) == 0)) {
            i += 8;
            continue;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (!isLeadByte(b)) {
            ++i;
            continue;
        }
        if (table.duplicateLead[b] && i + 1 < bytes.size()) {
            const quint16 code = codeAt(bytes, i);
            const char16_t c = table.duplicate.value(code);
            if (c != 0 && !first.contains(c)) {
                first.insert(c, code);
            }
        }
        i += 2;
    }
    return first;
}

qsizetype firstBadByte(QByteArrayView bytes) {
    const CodeTable& table = codeTable();
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool lead = isLeadByte(b);
        if (lead ? i + 1 >= bytes.size() || !table.reads(codeAt(bytes, i)) : !table.reads(b)) {
            return i;
        }
        i += lead ? 2 : 1;
    }
    // The converter disagreed with its own table; the end is the best place to name.
    return bytes.size() > 0 ? bytes.size() - 1 : 0;
}

bool holdsUnwritable(QByteArrayView utf8) {
    const CodeTable& table = codeTable();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    for (p = std::find_if(p, end, [&](unsigned char b) { return b >= table.checkFromLead; });
         p != end;
         p = std::find_if(p + 1, end, [&](unsigned char b) { return b >= table.checkFromLead; })) {
        // The converter accepted the piece, so *p starts a character; one the end of the
        // piece cuts is left to the full check.
        const int length = *p < 0xE0 ? 2 : *p < 0xF0 ? 3 : 4;
        if (end - p < length) {
            return true;
        }
        char32_t c;
        if (*p < 0xE0) {
            c = (*p & 0x1Fu) << 6 | (p[1] & 0x3Fu);
        } else if (*p < 0xF0) {
            c = (*p & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
        } else {
            return true;  // beyond the Basic Multilingual Plane
        }
        if (!table.isWritable(c)) {
            return true;
        }
    }
    return false;
}

}  // namespace ondrel::cp932
