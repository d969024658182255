#include "documents/cp932_stream.h"

#include <QFuture>
#include <QString>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <unicode/ucnv.h>

#include <cstring>
#include <deque>
#include <utility>

#include "documents/cp932_detail.h"

namespace ondrel {

using namespace cp932detail;

namespace {

constexpr const char* kCodec = "windows-31j";

// One ICU converter, closed when it goes out of scope. Every refusal stops the conversion
// (unassigned, illegal and truncated codes alike): nothing is ever substituted.
class Converter {
public:
    explicit Converter(const char* name) {
        UErrorCode error = U_ZERO_ERROR;
        m_converter = ucnv_open(name, &error);
        if (m_converter != nullptr) {
            ucnv_setToUCallBack(m_converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                                &error);
            ucnv_setFromUCallBack(m_converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                                  &error);
        }
        m_ok = m_converter != nullptr && U_SUCCESS(error);
    }
    ~Converter() {
        if (m_converter != nullptr) {
            ucnv_close(m_converter);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    UConverter* get() const { return m_converter; }
    bool ok() const { return m_ok; }

private:
    UConverter* m_converter = nullptr;
    bool m_ok = false;
};

// Converts all of source into target, which has room for it; the number of bytes written, or
// -1 when the converters refuse any of it.
qsizetype convert(const Converter& to, const Converter& from, QByteArrayView source, char* target,
                  qsizetype room) {
    if (!to.ok() || !from.ok()) {
        return -1;
    }
    UErrorCode error = U_ZERO_ERROR;
    char* out = target;
    const char* in = source.data();
    ucnv_convertEx(to.get(), from.get(), &out, target + room, &in, in + source.size(), nullptr,
                   nullptr, nullptr, nullptr, true, true, &error);
    if (U_FAILURE(error) || in != source.data() + source.size()) {
        return -1;
    }
    return out - target;
}

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

// For each character held at more than one code, the code a piece uses for it first.
QHash<char16_t, quint16> firstCodes(QByteArrayView bytes) {
    const DuplicateCodes& codes = duplicateCodes();
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
        if (codes.duplicateLead[b] && i + 1 < bytes.size()) {
            const quint16 code = codeAt(bytes, i);
            const char16_t c = codes.character.value(code);
            if (c != 0 && !first.contains(c)) {
                first.insert(c, code);
            }
        }
        i += 2;
    }
    return first;
}

struct DecodedPiece {
    QByteArray utf8;
    qsizetype badOffset = -1;  // in the piece
    bool validUtf8 = false;
    bool longSequence = false;
    QHash<char16_t, quint16> firstCodes;
};

DecodedPiece decodePiece(const QByteArray& piece) {
    DecodedPiece decoded;
    // No character of code page 932 takes more than three bytes of UTF-8.
    decoded.utf8 = QByteArray(piece.size() * 3 + 1, Qt::Uninitialized);
    const Converter from(kCodec);
    const Converter to("UTF-8");
    const qsizetype written = convert(to, from, piece, decoded.utf8.data(), decoded.utf8.size());
    // Asked of a piece that does not decode too: UTF-8 is the likeliest reason it does not.
    decoded.validUtf8 = QByteArrayView(piece).isValidUtf8();
    decoded.longSequence = decoded.validUtf8 && hasByteFromE0(piece);
    if (written < 0) {
        decoded.utf8 = QByteArray();
        decoded.badOffset = firstBadByte(piece);
        return decoded;
    }
    decoded.utf8.truncate(written);
    fixControlsRead(decoded.utf8.data(), decoded.utf8.size());
    decoded.firstCodes = firstCodes(piece);
    return decoded;
}

}  // namespace

Cp932StreamSettings& cp932StreamSettings() {
    static Cp932StreamSettings settings;
    return settings;
}

struct Cp932Decoder::State {
    Sink sink;
    int threads = 1;
    // Pieces being decoded, oldest first, with their sizes.
    std::deque<std::pair<qsizetype, QFuture<DecodedPiece>>> pending;
    qint64 decoded = 0;
    bool started = false;
    bool byteOrderMark = false;
    bool validUtf8 = true;
    bool longSequence = false;
    QHash<char16_t, quint16> firstCodes;
    qsizetype badOffset = -1;

    void take(qsizetype size, const DecodedPiece& piece) {
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
        decoded += size;
        sink(piece.utf8, decoded);
    }

    void takeOldest() {
        auto [size, future] = std::move(pending.front());
        pending.pop_front();
        take(size, future.result());
    }
};

Cp932Decoder::Cp932Decoder(Sink sink) : m_state(std::make_unique<State>()) {
    m_state->sink = std::move(sink);
    const int threads = cp932StreamSettings().threads;
    m_state->threads = threads > 0 ? threads : QThread::idealThreadCount();
}

Cp932Decoder::~Cp932Decoder() {
    for (auto& piece : m_state->pending) {
        piece.second.waitForFinished();
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
        s.take(piece.size(), decodePiece(piece));
    } else {
        s.pending.emplace_back(piece.size(), QtConcurrent::run(decodePiece, piece));
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
    const DuplicateCodes* codes = s.firstCodes.isEmpty() ? nullptr : &duplicateCodes();
    for (auto it = s.firstCodes.constBegin(); it != s.firstCodes.constEnd(); ++it) {
        if (codes->preferred.value(it.key()) != it.value()) {
            result.forms.insert(it.key(), it.value());
        }
    }
    return result;
}

Cp932Decoded decodeCp932(QByteArrayView bytes) {
    QByteArray utf8;
    Cp932Decoder decoder([&utf8](QByteArrayView piece, qint64) { utf8 += piece; });
    const qsizetype pieceBytes = std::max<qsizetype>(1, cp932StreamSettings().pieceBytes);
    for (qsizetype from = 0; from < bytes.size();) {
        // After the last line feed within the piece's size, or else the first after it.
        const QByteArrayView window = bytes.sliced(from, std::min(pieceBytes, bytes.size() - from));
        qsizetype end = window.lastIndexOf('\n');
        if (end < 0) {
            end = bytes.indexOf('\n', from + window.size());
        } else {
            end += from;
        }
        end = end < 0 ? bytes.size() : end + 1;
        // The bytes outlive the decoder, so its pieces need no copies of their own.
        if (!decoder.add(QByteArray::fromRawData(bytes.data() + from, end - from))) {
            break;
        }
        from = end;
    }
    const Cp932StreamResult streamed = decoder.finish();
    Cp932Decoded result;
    result.badOffset = streamed.badOffset;
    if (streamed.ok()) {
        result.text = QString::fromUtf8(utf8);
        result.forms = streamed.forms;
    }
    return result;
}

Cp932Encoded encodeCp932Utf8(QByteArrayView utf8, const Cp932Forms& forms) {
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    Cp932Encoded result;
    // No character takes more bytes in code page 932 than in UTF-8.
    result.bytes = QByteArray(utf8.size() + 2, Qt::Uninitialized);
    const Converter from("UTF-8");
    const Converter to(kCodec);
    char* const begin = result.bytes.data();
    qsizetype written = 0;
    for (qsizetype at = 0; at < utf8.size();) {
        qsizetype end = std::min(at + kPiece, utf8.size());
        // A piece ends where a character does: never before a continuation byte.
        while (end < utf8.size() && end > at + 1 &&
               (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            --end;
        }
        const QByteArrayView piece = utf8.sliced(at, end - at);
        const qsizetype room = result.bytes.size() - 2 - written;
        qsizetype n = convert(to, from, piece, begin + written, room);
        if (n < 0) {
            // Only a piece the converter refuses can hold a JIS spelling, which the text's
            // own encoder writes at the code page's codes.
            const Cp932Encoded respelled = encodeCp932(QString::fromUtf8(piece));
            if (!respelled.ok() || respelled.bytes.size() > room) {
                // Lines and columns are counted over the whole text.
                return encodeCp932(QString::fromUtf8(utf8), forms);
            }
            std::memcpy(begin + written, respelled.bytes.constData(), respelled.bytes.size());
            n = respelled.bytes.size();
        } else {
            fixControlsWritten(begin + written, n);
        }
        written += n;
        at = end;
    }
    result.bytes.truncate(written);
    applyForms(result.bytes, forms);
    return result;
}

}  // namespace ondrel
