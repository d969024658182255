#include "documents/cp932.h"

#include <QFuture>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstring>
#include <deque>
#include <utility>

#include "documents/cp932_codec.h"

namespace ondrel {

using namespace cp932;

namespace {

// However large the pieces are set, a part of less than twice this, at three bytes of UTF-8 a
// byte, stays under ICU's 2 GiB.
constexpr qsizetype kMostPartBytes = qsizetype(256) << 20;

// Whether any byte is 0xE0 or above, eight bytes at a time through plain ASCII.
bool hasByteFromE0(QByteArrayView bytes) {
    qsizetype i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & 0x8080808080808080ULL) == 0) {
            continue;
        }
        for (int k = 0; k < 8; ++k) {
            if (static_cast<unsigned char>(bytes[i + k]) >= 0xE0) {
                return true;
            }
        }
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0xE0) {
            return true;
        }
    }
    return false;
}

struct DecodedPiece {
    // The UTF-8 of each part, with the number of bytes of code page 932 it came from.
    QList<std::pair<QByteArray, qsizetype>> parts;
    qsizetype badOffset = -1;  // in the piece
    bool validUtf8 = false;
    bool longSequence = false;
    QHash<char16_t, quint16> firstCodes;
};

DecodedPiece decodePiece(const QByteArray& piece, qsizetype partBytes) {
    DecodedPiece decoded;
    // Asked of a piece that does not decode too: UTF-8 is the likeliest reason it does not.
    decoded.validUtf8 = QByteArrayView(piece).isValidUtf8();
    decoded.longSequence = decoded.validUtf8 && hasByteFromE0(piece);
    Converter converter(Converter::Direction::ToUtf8);
    // Parts of equal size, each less than twice partBytes, so a piece a little longer than
    // partBytes is not left with a small part of its own.
    const qsizetype parts = std::max<qsizetype>(1, piece.size() / partBytes);
    const qsizetype partSize = (piece.size() + parts - 1) / parts;
    for (qsizetype at = 0; at < piece.size();) {
        const qsizetype size = std::min(partSize, piece.size() - at);
        // No character of code page 932 takes more than three bytes of UTF-8; three more for
        // one the previous part cut.
        QByteArray utf8(size * 3 + 3, Qt::Uninitialized);
        const qsizetype written =
            converter.convert(QByteArrayView(piece).sliced(at, size), utf8.data(), utf8.size(),
                              at + size == piece.size());
        if (written < 0) {
            decoded.parts.clear();
            decoded.badOffset = firstBadByte(piece);
            return decoded;
        }
        utf8.truncate(written);
        decoded.parts.append({std::move(utf8), size});
        at += size;
    }
    decoded.firstCodes = firstCodes(piece);
    return decoded;
}

// The code point that starts at p, or U+FFFD for a byte that does not start one, and the
// number of bytes it takes.
std::pair<char32_t, int> nextCodePoint(const unsigned char* p, const unsigned char* end) {
    const unsigned char b = *p;
    if (b < 0x80) {
        return {b, 1};
    }
    const int length = b >= 0xC2 && b <= 0xDF   ? 2
                       : b >= 0xE0 && b <= 0xEF ? 3
                       : b >= 0xF0 && b <= 0xF4 ? 4
                                                : 0;
    if (length == 0 || end - p < length) {
        return {0xFFFD, 1};
    }
    char32_t c = b & (0x7Fu >> length);
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            return {0xFFFD, 1};
        }
        c = c << 6 | (p[k] & 0x3Fu);
    }
    constexpr char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return {0xFFFD, 1};
    }
    return {c, length};
}

// Counts and places every character of utf8 that cannot be written, one character at a time
// over the text's own bytes.
void findUnencodable(QByteArrayView utf8, Cp932Encoded& result) {
    const CodeTable& table = codeTable();
    qsizetype line = 1;
    qsizetype column = 1;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = p + utf8.size();
    while (p != end) {
        const auto [c, length] = nextCodePoint(p, end);
        if (!table.isWritable(c)) {
            if (result.firstUnencodable.size() < kReportedUnencodable) {
                result.firstUnencodable.append({line, column, c});
            }
            ++result.unencodableCount;
        }
        // CR LF, a lone CR and a lone LF each end a line.
        if (c == '\n' || (c == '\r' && !(p + 1 != end && p[1] == '\n'))) {
            ++line;
            column = 1;
        } else if (c != '\r') {
            ++column;
        }
        p += length;
    }
}

}  // namespace

Cp932StreamSettings& cp932StreamSettings() {
    static Cp932StreamSettings settings;
    return settings;
}

struct Cp932Decoder::State {
    Sink sink;
    int threads = 1;
    // ICU takes less than 2 GiB of room in one call: a line of a few hundred MiB is converted
    // in parts.
    qsizetype partBytes = 1;
    // Pieces being decoded, oldest first.
    std::deque<QFuture<DecodedPiece>> pending;
    qint64 decoded = 0;
    bool started = false;
    bool byteOrderMark = false;
    bool validUtf8 = true;
    bool longSequence = false;
    QHash<char16_t, quint16> firstCodes;
    qsizetype badOffset = -1;

    void take(const DecodedPiece& piece) {
        if (badOffset >= 0) {
            return;
        }
        validUtf8 = validUtf8 && piece.validUtf8;
        longSequence = longSequence || piece.longSequence;
        if (piece.badOffset >= 0) {
            badOffset = decoded + piece.badOffset;
            return;
        }
        // The earlier piece's first code of a character is the file's first.
        for (auto it = piece.firstCodes.constBegin(); it != piece.firstCodes.constEnd(); ++it) {
            if (!firstCodes.contains(it.key())) {
                firstCodes.insert(it.key(), it.value());
            }
        }
        for (const auto& [utf8, size] : piece.parts) {
            decoded += size;
            sink(utf8, decoded);
        }
    }

    void takeOldest() {
        QFuture<DecodedPiece> future = std::move(pending.front());
        pending.pop_front();
        take(future.result());
    }
};

Cp932Decoder::Cp932Decoder(Sink sink) : m_state(std::make_unique<State>()) {
    m_state->sink = std::move(sink);
    const Cp932StreamSettings& settings = cp932StreamSettings();
    m_state->threads = settings.threads > 0 ? settings.threads : QThread::idealThreadCount();
    m_state->partBytes = std::clamp<qsizetype>(settings.pieceBytes, 1, kMostPartBytes);
}

Cp932Decoder::~Cp932Decoder() {
    for (auto& piece : m_state->pending) {
        piece.waitForFinished();
    }
}

bool Cp932Decoder::add(const QByteArray& piece) {
    State& s = *m_state;
    if (s.badOffset >= 0) {
        return false;
    }
    if (!s.started) {
        s.started = true;
        // A first piece shorter than the mark ends in a line feed, so cannot start with one.
        s.byteOrderMark = piece.startsWith("\xEF\xBB\xBF");
    }
    if (s.threads <= 1) {
        s.take(decodePiece(piece, s.partBytes));
    } else {
        s.pending.push_back(QtConcurrent::run(decodePiece, piece, s.partBytes));
        // The caller's thread appends one piece while the others are decoded.
        while (static_cast<int>(s.pending.size()) > s.threads) {
            s.takeOldest();
        }
    }
    return s.badOffset < 0;
}

Cp932StreamResult Cp932Decoder::finish() {
    State& s = *m_state;
    while (!s.pending.empty()) {
        s.takeOldest();
    }
    Cp932StreamResult result;
    result.badOffset = s.badOffset;
    result.clearlyUtf8 = s.byteOrderMark || (s.longSequence && s.validUtf8);
    const CodeTable* table = s.firstCodes.isEmpty() ? nullptr : &codeTable();
    for (auto it = s.firstCodes.constBegin(); it != s.firstCodes.constEnd(); ++it) {
        if (table->preferred.value(it.key()) != it.value()) {
            result.forms.insert(it.key(), it.value());
        }
    }
    return result;
}

Cp932Encoded encodeCp932Utf8(QByteArrayView utf8, const Cp932Forms& forms) {
    // At least a whole character of UTF-8, so a piece always ends where one does.
    const qsizetype pieceBytes =
        std::clamp<qsizetype>(cp932StreamSettings().pieceBytes, 4, kMostPartBytes);
    Cp932Encoded result;
    // No character takes more bytes in code page 932 than in UTF-8.
    result.bytes = QByteArray(utf8.size() + 2, Qt::Uninitialized);
    Converter converter(Converter::Direction::FromUtf8);
    qsizetype written = 0;
    for (qsizetype at = 0; at < utf8.size();) {
        qsizetype end = std::min(at + pieceBytes, utf8.size());
        // A piece ends where a character does: never before a continuation byte.
        while (end < utf8.size() && end > at + 1 &&
               (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            --end;
        }
        const QByteArrayView piece = utf8.sliced(at, end - at);
        const qsizetype n = converter.convert(piece, result.bytes.data() + written,
                                              piece.size() + 2, end == utf8.size());
        if (n < 0 || holdsUnwritable(piece)) {
            result.bytes.clear();
            findUnencodable(utf8, result);
            if (result.unencodableCount == 0) {
                // The converter stopped where no single character does; never report that as
                // success.
                result.unencodableCount = 1;
            }
            return result;
        }
        written += n;
        at = end;
    }
    result.bytes.truncate(written);
    applyForms(result.bytes, forms);
    return result;
}

std::optional<QString> cp932Text(QByteArrayView bytes) {
    const CodeTable& table = codeTable();
    QString text;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        quint16 code = static_cast<unsigned char>(bytes[at]);
        if (isLeadByte(static_cast<unsigned char>(code))) {
            if (at + 1 == bytes.size()) {
                return std::nullopt;
            }
            code = static_cast<quint16>(code << 8 | static_cast<unsigned char>(bytes[++at]));
        }
        if (!table.reads(code)) {
            return std::nullopt;
        }
        text += QChar(table.character[code]);
    }
    return text;
}

QList<char32_t> trailByteChars(char byte) {
    // A character that reads from lead + byte but is written back another way (a duplicate of
    // the code page) does not count.
    const CodeTable& table = codeTable();
    QList<char32_t> chars;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        const auto code = static_cast<quint16>(lead << 8 | static_cast<unsigned char>(byte));
        if (isLeadByte(static_cast<unsigned char>(lead)) && table.roundTrip[code]) {
            chars.append(table.character[code]);
        }
    }
    std::sort(chars.begin(), chars.end());
    return chars;
}

QHash<char32_t, char> asciiTrailChars() {
    // Asked of the converter the save uses, as above: a character counts only where the save
    // writes it back as the same two bytes.
    QHash<char32_t, char> chars;
    for (char trail = 0x40; trail <= 0x7E; ++trail) {
        for (char32_t character : trailByteChars(trail)) {
            chars.insert(character, trail);
        }
    }
    return chars;
}

}  // namespace ondrel
