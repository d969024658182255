#include "documents/cp932.h"

#include "documents/cp932_detail.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>

namespace ondrel {

using namespace cp932detail;

namespace {

constexpr const char* kCodec = "windows-31j";

// Whether one character's bytes (one byte, or a lead and a trail byte) decode without error.
// Asked only on the error path; the answers are kept, so a long scan stays linear.
class CharValidity {
public:
    bool valid(const char* bytes, int length) {
        const int key = length == 1 ? static_cast<unsigned char>(bytes[0])
                                    : 0x100 + ((static_cast<unsigned char>(bytes[0]) << 8) |
                                               static_cast<unsigned char>(bytes[1]));
        auto found = m_known.constFind(key);
        if (found != m_known.constEnd()) {
            return *found;
        }
        QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
        const QString decoded = decoder.decode(QByteArrayView(bytes, length));
        const bool ok = !decoder.hasError() && decoded.size() >= 1;
        m_known.insert(key, ok);
        return ok;
    }

private:
    QHash<int, bool> m_known;
};

DuplicateCodes learnDuplicateCodes() {
    DuplicateCodes codes;
    const auto decodeOne = [](QByteArrayView bytes) {
        QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(bytes);
        return decoder.hasError() ? QString() : text;
    };
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLeadByte(static_cast<unsigned char>(lead))) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QString decoded = decodeOne(QByteArrayView(pair, 2));
            if (decoded.size() != 1) {
                continue;
            }
            QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
            const QByteArray written = encoder.encode(decoded);
            // Only a two-byte code that reads back as the same character can stand in for
            // another in place; anything else is left to the converter.
            if (encoder.hasError() || written.size() != 2 || written == QByteArrayView(pair, 2) ||
                decodeOne(written) != decoded) {
                continue;
            }
            const char16_t c = decoded[0].unicode();
            const quint16 preferred = codeAt(written, 0);
            codes.character.insert(static_cast<quint16>((lead << 8) | trail), c);
            codes.character.insert(preferred, c);
            codes.preferred.insert(c, preferred);
            codes.alternateLead[lead] = true;
            codes.duplicateLead[lead] = true;
            codes.duplicateLead[preferred >> 8] = true;
        }
    }
    return codes;
}

// Six characters of JIS X 0208 have two Unicode spellings: the JIS one, which Linux input
// methods type, and the code page's own, which the converter writes at the same code.
constexpr std::array<std::pair<char16_t, char16_t>, 6> kJisSpellings = {{
    {u'\u301C', u'\uFF5E'},  // wave dash
    {u'\u2016', u'\u2225'},  // double vertical line
    {u'\u2212', u'\uFF0D'},  // minus sign
    {u'\u00A2', u'\uFFE0'},  // cent sign
    {u'\u00A3', u'\uFFE1'},  // pound sign
    {u'\u00AC', u'\uFFE2'},  // not sign
}};

// text with each JIS spelling replaced by the code page's; null when it holds none.
QString withCodePageSpellings(QStringView text) {
    QString respelled;
    for (qsizetype i = 0; i < text.size(); ++i) {
        for (const auto& [jis, codePage] : kJisSpellings) {
            if (text[i] == QChar(jis)) {
                if (respelled.isNull()) {
                    respelled = text.toString();
                }
                respelled[i] = QChar(codePage);
            }
        }
    }
    return respelled;
}

bool encodable(char32_t codePoint, QHash<char32_t, bool>& known) {
    auto found = known.constFind(codePoint);
    if (found != known.constEnd()) {
        return *found;
    }
    const char32_t units[1] = {codePoint};
    const QString character = QString::fromUcs4(units, 1);
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    const QByteArray encoded = encoder.encode(character);
    const bool ok =
        !encoder.hasError() && !encoded.isEmpty() && !(codePoint >= 0xD800 && codePoint <= 0xDFFF);
    known.insert(codePoint, ok);
    return ok;
}

void findUnencodable(QStringView text, Cp932Encoded& result) {
    QHash<char32_t, bool> known;
    qsizetype line = 1;
    qsizetype column = 1;
    for (qsizetype i = 0; i < text.size();) {
        char32_t codePoint = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        if (!encodable(codePoint, known)) {
            if (result.firstUnencodable.size() < kReportedUnencodable) {
                result.firstUnencodable.append({line, column, codePoint});
            }
            ++result.unencodableCount;
        }
        // CR LF, a lone CR and a lone LF each end a line.
        if (codePoint == '\n' ||
            (codePoint == '\r' && !(i + 1 < text.size() && text[i + 1] == u'\n'))) {
            ++line;
            column = 1;
        } else if (codePoint != '\r') {
            ++column;
        }
        i += units;
    }
}

}  // namespace

namespace cp932detail {

const DuplicateCodes& duplicateCodes() {
    static const DuplicateCodes codes = learnDuplicateCodes();
    return codes;
}

// Rewrites, in bytes the converter wrote, each character forms names at the code it names.
// Both codes are two bytes long, so the bytes only change in place.
void applyForms(QByteArray& bytes, const Cp932Forms& forms) {
    if (forms.isEmpty()) {
        return;
    }
    const DuplicateCodes& codes = duplicateCodes();
    QHash<quint16, quint16> replacement;
    std::array<bool, 256> replacedLead{};
    for (auto it = forms.constBegin(); it != forms.constEnd(); ++it) {
        const quint16 preferred = codes.preferred.value(it.key());
        // A code that is not one of this character's would write another character.
        if (preferred != 0 && preferred != it.value() &&
            codes.character.value(it.value()) == it.key()) {
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

qsizetype firstBadByte(QByteArrayView bytes) {
    CharValidity validity;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(b)) {
            if (i + 1 >= bytes.size() || !validity.valid(bytes.data() + i, 2)) {
                return i;
            }
            i += 2;
        } else {
            if (!validity.valid(bytes.data() + i, 1)) {
                return i;
            }
            ++i;
        }
    }
    // The decoder disagreed with the per-character check; the end is the best place to name.
    return bytes.size() > 0 ? bytes.size() - 1 : 0;
}

}  // namespace cp932detail

Cp932Encoded encodeCp932(QStringView text, const Cp932Forms& forms) {
    Cp932Encoded result;
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    result.bytes = encoder.encode(text);
    if (encoder.hasError()) {
        // The converter refuses every JIS spelling, so only a refused text can hold one.
        const QString respelled = withCodePageSpellings(text);
        const QStringView toWrite = respelled.isNull() ? text : QStringView(respelled);
        QStringEncoder again(kCodec, QStringConverter::Flag::Stateless);
        if (!respelled.isNull()) {
            result.bytes = again.encode(toWrite);
        }
        if (respelled.isNull() || again.hasError()) {
            result.bytes.clear();
            // One character for one, so lines and columns are those of text.
            findUnencodable(toWrite, result);
            if (result.unencodableCount == 0) {
                // The encoder failed where no single character does; never report that as
                // success.
                result.unencodableCount = 1;
            }
            return result;
        }
    }
    fixControlsWritten(result.bytes.data(), result.bytes.size());
    applyForms(result.bytes, forms);
    return result;
}

QList<char32_t> backslashTrailChars() {
    // Asked of the same converter the save uses; a character that decodes from lead + 5C but
    // is written back another way (a duplicate of the code page) does not count.
    QList<char32_t> chars;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isLeadByte(static_cast<unsigned char>(lead))) {
            continue;
        }
        const char bytes[2] = {static_cast<char>(lead), '\\'};
        QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
        const QString character = decoder.decode(QByteArrayView(bytes, 2));
        const QList<uint> codePoints = character.toUcs4();
        if (decoder.hasError() || codePoints.size() != 1) {
            continue;
        }
        QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
        const QByteArray encoded = encoder.encode(character);
        if (!encoder.hasError() && encoded == QByteArrayView(bytes, 2)) {
            chars.append(codePoints.front());
        }
    }
    std::sort(chars.begin(), chars.end());
    return chars;
}

QHash<char32_t, char> asciiTrailChars() {
    // Asked of the converter the save uses, as above: a character counts only where the save
    // writes it back as the same two bytes.
    QHash<char32_t, char> chars;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0x7E && isLeadByte(static_cast<unsigned char>(lead));
             ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            // A converter each time: one that has met an error keeps saying so.
            QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
            const QString character = decoder.decode(QByteArrayView(bytes, 2));
            QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
            const QByteArray encoded = encoder.encode(character);
            if (!decoder.hasError() && character.size() == 1 && !encoder.hasError() &&
                encoded == QByteArrayView(bytes, 2)) {
                chars.insert(character.front().unicode(), static_cast<char>(trail));
            }
        }
    }
    return chars;
}

}  // namespace ondrel
