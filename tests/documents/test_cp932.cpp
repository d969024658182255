#include <numeric>

#include "cp932_text.h"
#include "fixture.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

class Cp932Test : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { cp932StreamSettings() = {}; }

    void writtenAndOpened_data() { addRowsFromFile("cp932_codes.tsv"); }
    void writtenAndOpened() {
        const QByteArray file = bytesField("file");
        if (!field("typed").isEmpty()) {
            const Cp932Encoded encoded = encodeCp932(field("typed"));
            QVERIFY(encoded.ok());
            QCOMPARE(encoded.bytes.toHex(' '), file.toHex(' '));
        }
        const Cp932Decoded decoded = decodeCp932(file);
        const QString bad = field("badOffset");
        QCOMPARE(decoded.badOffset, qsizetype(bad.isEmpty() ? -1 : bad.toInt()));
        if (!decoded.ok()) {
            return;
        }
        if (!field("opened").isEmpty()) {
            QCOMPARE(decoded.text, field("opened"));
        }
        const QByteArray saved = field("saved").isEmpty() ? file : bytesField("saved");
        QCOMPARE(encodeCp932(decoded.text, decoded.forms).bytes.toHex(' '), saved.toHex(' '));
    }

    // Every code of the code page, alone in a file, is written back as it was, including the
    // ones the converter on its own would write at another code.
    void everyCodeKeptByteForByte() {
        const QList<QByteArray> valid = everyCp932Character();
        QVERIFY(valid.size() > 9000);
        for (const QByteArray& c : valid) {
            const QByteArray file = "print \"" + c + "\";\r\n";
            const Cp932Decoded decoded = decodeCp932(file);
            QVERIFY(decoded.ok());
            QCOMPARE(encodeCp932(decoded.text, decoded.forms).bytes.toHex(' '), file.toHex(' '));
        }
    }

    // Through the real commands: what a file held applies to typed text too, and New forgets it.
    void formsFollowTheDocument() {
        Fixture f;
        const QString opened = f.path("nine.cgi");
        const QString fresh = f.path("fresh.cgi");
        f.open(opened, "print \"\xFA\x52\";");
        InsertAtCaret(f.text(), QStringLiteral("\u2168"));  // Ⅸ typed at the start
        f.choose("mnuupsave");
        QCOMPARE(readBytes(opened).toHex(' '),
                 QByteArray("\xFA\x52print \"\xFA\x52\";\r\n").toHex(' '));
        f.choose("mnunew");
        InsertAtCaret(f.text(), QStringLiteral("\u2168"));
        f.dialogs.pushText(fresh);
        f.choose("mnuNameSave");
        QCOMPARE(readBytes(fresh).toHex(' '),
                 QByteArray("#!/usr/local/bin/perl\r\n\r\n\x87\x5C\r\n").toHex(' '));
        QCOMPARE(f.dialogs.unexpectedCalls(), 0);
    }

    void unencodableReported_data() { addRowsFromFile("cp932_unencodable.tsv"); }
    void unencodableReported() {
        const Cp932Encoded encoded = encodeCp932(field("text"));
        QVERIFY(encoded.bytes.isEmpty());
        QCOMPARE(QString::number(encoded.unencodableCount), field("count"));
        QCOMPARE(encoded.firstUnencodable.size(), std::min<qsizetype>(encoded.unencodableCount, 5));
        const UnencodableChar last = encoded.firstUnencodable.last();
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(last.line)
                     .arg(last.column)
                     .arg(uint(last.codePoint), 0, 16),
                 field("line") + ' ' + field("column") + ' ' + field("codePoint").toLower());
    }

    // Every character after "x" is written as bytes that open as that character (one of the six
    // JIS spellings as another character written at the same code), or is reported at its
    // place. Surrogates are no characters: UTF-8 cannot hold them.
    void everyCharacterWrittenOrReported() {
        cp932StreamSettings().threads = 1;
        const QString jisSpellings = QStringLiteral("\u301C\u2016\u2212\u00A2\u00A3\u00AC");
        QList<char32_t> characters(0x10000);
        std::iota(characters.begin(), characters.end(), 0);
        characters.remove(0xD800, 0x800);
        characters << 0x10000 << 0x1F600 << 0xE0001 << 0xF0000 << 0x10FFFF;
        QStringList faults;
        int respelled = 0;
        for (const char32_t c : characters) {
            const QString typed = QStringLiteral("x") + QString::fromUcs4(&c, 1);
            const Cp932Encoded encoded = encodeCp932Utf8(typed.toUtf8());
            const UnencodableChar got = encoded.firstUnencodable.value(0);
            const QString opened = decodeCp932(encoded.bytes).text;
            if (encoded.ok() ? opened == typed
                             : encoded.unencodableCount == 1 && got.line == 1 && got.column == 2 &&
                                   got.codePoint == c) {
                continue;
            }
            // The same code, read as the code page's spelling.
            if (encoded.ok() && jisSpellings.contains(typed.back()) && opened.size() == 2 &&
                encodeCp932Utf8(opened.toUtf8()).bytes == encoded.bytes) {
                ++respelled;
                continue;
            }
            faults << QStringLiteral("U+%1 as %2")
                          .arg(uint(c), 4, 16, QChar('0'))
                          .arg(QString::fromLatin1(encoded.bytes.toHex(' ')));
        }
        QCOMPARE(faults.join(u','), QString());
        QCOMPARE(respelled, jisSpellings.size());
    }

    void clearlyUtf8_data() { addRowsFromFile("utf8_evidence.tsv"); }
    void clearlyUtf8() {
        Cp932Decoder decoder([](QByteArrayView, qint64) {});
        for (const QByteArray& piece : bytesField("pieces").split('|')) {
            decoder.add(piece);
        }
        const Cp932StreamResult result = decoder.finish();
        QCOMPARE(result.badOffset, qsizetype(-1));
        QCOMPARE(result.clearlyUtf8, !field("utf8").isEmpty());
    }

    // Open decodes a file in pieces, several at once where there are cores: the document and
    // what Save writes of it are those of one piece.
    void piecesInParallelGiveTheOnePieceDocument() {
        // ≒ first at the converter's code, then at NEC's; ∵ first at NEC's, then at the
        // converter's; half-width katakana, NUL, the single bytes ICU's table lacks, a lone CR and
        // a line far longer than a piece.
        const char lineBytes[] =
            "$a = \"\x81\xe0\xb1\xb2\x00\x80\xa0\xfd\xfe\xff\";\r"
            "# \x87\x9a\x93\xfa\x96\x7b\r\n";
        const QByteArray line(lineBytes, sizeof(lineBytes) - 1);
        const QByteArray bytes = line.repeated(3000) + QByteArray("\x82\xa0").repeated(5000) +
                                 "\r\n" + QByteArray("\x87\x90\x81\xe6\n").repeated(3000);
        const QString whole = decodeCp932(bytes).text;  // in one piece
        const char start[] = "$a = \"≒ｱｲ\0\u0080\uF8F0\uF8F1\uF8F2\uF8F3\";\r# ∵日本\r\n";
        QVERIFY(whole.startsWith(QString::fromUtf8(start, sizeof(start) - 1)));
        cp932StreamSettings() = {1000, 2};
        Fixture f;
        f.open(f.path("mixed.cgi"), bytes);
        QCOMPARE(f.dialogs.calls().size(), 1);
        // The last line feed is the file's final line break, kept out of the text.
        QVERIFY(f.text().text() + "\n" == whole);
        const QString copy = f.path("saved.cgi");
        f.dialogs.pushText(copy);
        f.choose("mnuNameSave");
        // ∵ is written at NEC's code throughout, ≒ at the converter's.
        QByteArray expected = bytes;
        expected.replace("\x87\x90", "\x81\xe0").replace("\x81\xe6", "\x87\x9a");
        QVERIFY(readBytes(copy) == expected);
    }

    // A line longer than a piece is converted and handed on in parts of under two pieces,
    // however its characters fall across the parts' ends: no call of the converter needs more
    // room than that.
    void longLineInBoundedParts() {
        cp932StreamSettings() = {1001, 1};
        const QByteArray line =
            "x" + QByteArray("\x93\xfa\x96\x7b\x82\xa0").repeated(2000) + "\r\n";
        QByteArray utf8;
        qsizetype largest = 0;
        Cp932Decoder decoder([&](QByteArrayView part, qint64) {
            utf8 += part;
            largest = std::max(largest, part.size());
        });
        decoder.add(line);
        QVERIFY(decoder.finish().ok());
        QCOMPARE(QString::fromUtf8(utf8), "x" + QStringLiteral("日本あ").repeated(2000) + "\r\n");
        QVERIFY2(largest < 3 * 2 * 1001 + 3, QByteArray::number(largest));
    }
};

ONDREL_TEST_MAIN(Cp932Test)
#include "test_cp932.moc"
