#include "documents/cp932.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace ondrel {

namespace {

constexpr const char* kCodec = "windows-31j";

bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

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

Cp932Decoded decodeCp932(QByteArrayView bytes, const Cp932Progress& progress) {
    // Decoded in pieces that start and end on character boundaries, so progress can be told
    // between them; each piece is complete in itself, so a lead byte cut off at the very
    // end is still an error.
    constexpr qsizetype kPiece = 8 << 20;
    Cp932Decoded result;
    result.text.reserve(bytes.size());
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    qsizetype from = 0;
    qsizetype i = 0;
    while (from < bytes.size()) {
        const qsizetype until = std::min(from + kPiece, bytes.size());
        while (i < until) {
            i += isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        }
        const qsizetype end = std::min(i, bytes.size());
        result.text += decoder.decode(bytes.sliced(from, end - from));
        if (decoder.hasError()) {
            break;
        }
        from = end;
        if (progress) {
            progress(from, bytes.size());
        }
    }
    if (decoder.hasError()) {
        result.text = QString();
        result.badOffset = firstBadByte(bytes);
    }
    return result;
}

Cp932Encoded encodeCp932(QStringView text) {
    Cp932Encoded result;
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    result.bytes = encoder.encode(text);
    if (encoder.hasError()) {
        result.bytes.clear();
        findUnencodable(text, result);
        if (result.unencodableCount == 0) {
            // The encoder failed where no single character does; never report that as success.
            result.unencodableCount = 1;
        }
    }
    return result;
}

bool isNonAsciiUtf8(QByteArrayView bytes) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char b) { return static_cast<unsigned char>(b) < 0x80; });
    if (ascii) {
        return false;
    }
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
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

}  // namespace ondrel
