#include <QTemporaryDir>
#include <QTest>

#include <numeric>

#include "cp932_text.h"
#include "documents/cp932.h"
#include "fixture.h"
#include "test_files.h"
#include "test_main.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

namespace {

bool isLead(uchar b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Every byte sequence of one character that the code page defines, found by asking the
// decoder about each single byte and each lead/trail pair.
QList<QByteArray> everyValidCharacter() {
    QList<QByteArray> valid;
    for (int code = 0; code < 0x10000; ++code) {
        QByteArray c(code < 0x100 ? 1 : 2, char(code >> 8));
        c.back() = char(code);
        if (isLead(uchar(c[0])) == (c.size() == 2) && decodeCp932(c).ok()) {
            valid.append(c);
        }
    }
    return valid;
}

QString one(char16_t c) {
    return QString(QChar(c));
}

// Typed, written, opened again.
using Written = std::tuple<QString, QByteArray, QString>;
// The text; how many of its characters cannot be written; the line, column and code point of
// the last one reported.
using Unencodable = std::tuple<QString, int, int, int, uint>;

}  // namespace

class Cp932Test : public QObject {
    Q_OBJECT

private slots:
    // What is written for a text, and what the written bytes open as: the JIS spellings are
    // written at their code and open as the code page's own characters.
    void writtenAndOpened_data() {
        addColumns<Written>();
        addRow("backslash", QString("\\"), QByteArray("\x5C"), QString("\\"));
        addRow("tilde", QString("~"), QByteArray("\x7E"), QString("~"));
        addRow("so", QString("ソ"), QByteArray("\x83\x5C"), QString("ソ"));
        addRow("full-width tilde", one(0xFF5E), QByteArray("\x81\x60"), one(0xFF5E));
        addRow("wave dash", one(0x301C), QByteArray("\x81\x60"), one(0xFF5E));
        addRow("double vertical line", one(0x2016), QByteArray("\x81\x61"), one(0x2225));
        addRow("minus sign", one(0x2212), QByteArray("\x81\x7C"), one(0xFF0D));
        addRow("cent sign", one(0x00A2), QByteArray("\x81\x91"), one(0xFFE0));
        addRow("pound sign", one(0x00A3), QByteArray("\x81\x92"), one(0xFFE1));
        addRow("not sign", one(0x00AC), QByteArray("\x81\xCA"), one(0xFFE2));
        addRow("mixed line", QStringLiteral("$a=1\u301C \u2212\u00A3;\r\n\\\u00AC~"),
               QByteArray("$a=1\x81\x60 \x81\x7C\x81\x92;\r\n\\\x81\xCA~"),
               QStringLiteral("$a=1\uFF5E \uFF0D\uFFE1;\r\n\\\uFFE2~"));
        const QByteArray breaks("a\r\nb\rc\nd\0e\r\n\r", 13);
        addRow("line breaks and NUL untouched", QString::fromLatin1(breaks), breaks,
               QString::fromLatin1(breaks));
        // The converter's own table trades these three controls among themselves.
        const QByteArray controls("SUB\x1A FS\x1C DEL\x7F");
        addRow("control characters", QString::fromLatin1(controls), controls,
               QString::fromLatin1(controls));
        const QString singles = QStringLiteral("\u0080\uF8F0\uF8F1\uF8F2\uF8F3");
        addRow("single bytes", singles, QByteArray("\x80\xA0\xFD\xFE\xFF"), singles);
    }

    void writtenAndOpened() {
        const auto [typed, bytes, opened] = fetchRow<Written>();
        const Cp932Encoded encoded = encodeCp932(typed);
        QVERIFY(encoded.ok());
        QCOMPARE(encoded.bytes, bytes);
        const Cp932Decoded decoded = decodeCp932(bytes);
        QVERIFY(decoded.ok());
        QCOMPARE(decoded.text, opened);
    }

    // Every code of the code page, alone in a file, is written back as it was, including the
    // ones the converter on its own would write at another code.
    void everyCodeKeptByteForByte() {
        const QList<QByteArray> valid = everyValidCharacter();
        QVERIFY(valid.size() > 9000);
        int movedByConverter = 0;
        for (const QByteArray& c : valid) {
            const QByteArray file = "print \"" + c + "\";\r\n";
            const Cp932Decoded decoded = decodeCp932(file);
            QVERIFY(decoded.ok());
            movedByConverter += encodeCp932(decoded.text).bytes != file;
            QCOMPARE(encodeCp932(decoded.text, decoded.forms).bytes.toHex(' '), file.toHex(' '));
        }
        QCOMPARE(movedByConverter, 398);
    }

    void mixedFormsKeepTheFirst_data() {
        addColumns<std::tuple<QByteArray, QByteArray>>();  // the file; saved
        addRow("ibm first", QByteArray("\xFA\x52\x87\x5C"), QByteArray("\xFA\x52\xFA\x52"));
        addRow("nec first", QByteArray("\x87\x5C\xFA\x52"), QByteArray("\x87\x5C\x87\x5C"));
        addRow("nec-selected first", QByteArray("\xED\x40\xFA\x5C\xED\x40"),
               QByteArray("\xED\x40\xED\x40\xED\x40"));
        addRow("three forms", QByteArray("\xEE\xF9\xFA\x54\x81\xCA"),
               QByteArray("\xEE\xF9\xEE\xF9\xEE\xF9"));
        addRow("row 0x81 first", QByteArray("\x81\xCA\xEE\xF9\xFA\x52"),
               QByteArray("\x81\xCA\x81\xCA\xFA\x52"));
    }

    void mixedFormsKeepTheFirst() {
        const auto [file, saved] = fetchRow<std::tuple<QByteArray, QByteArray>>();
        const Cp932Decoded decoded = decodeCp932(file);
        QCOMPARE(encodeCp932(decoded.text, decoded.forms).bytes.toHex(' '), saved.toHex(' '));
    }

    // Through the real commands: what a file held applies to typed text too, and New forgets it.
    void formsFollowTheDocument() {
        QTemporaryDir dir;
        const QString opened = dir.filePath(QStringLiteral("nine.cgi"));
        const QString fresh = dir.filePath(QStringLiteral("fresh.cgi"));
        writeBytes(opened, "print \"\xFA\x52\";");
        Fixture f;
        f.dialogs.pushText(opened);
        f.choose("mnuOpen");
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

    void firstBadByte_data() {
        addColumns<std::tuple<QByteArray, int>>();  // bytes; offset of the first bad one
        addRow("unassigned code", QByteArray("abc\x85\x40xyz"), 3);
        addRow("lead byte at the end", QByteArray("ab\x82"), 2);
        addRow("bad trail after kanji", QByteArray("\x8A\xBF\x81\x20"), 2);
        addRow("utf-8 byte order mark", QByteArray::fromHex("efbbbf616263"), 0);
    }

    void firstBadByte() {
        const auto [bytes, offset] = fetchRow<std::tuple<QByteArray, int>>();
        const Cp932Decoded decoded = decodeCp932(bytes);
        QVERIFY(!decoded.ok());
        QCOMPARE(decoded.badOffset, qsizetype(offset));
        QVERIFY(decoded.text.isEmpty());
    }

    void unencodableReported_data() {
        addColumns<Unencodable>();
        addRow("emoji after crlf", QStringLiteral("ab\r\ncd😀"), 1, 2, 3, 0x1F600u);
        addRow("after a jis spelling", QStringLiteral("x\u301C\u00E9"), 1, 1, 3, 0xE9u);
        addRow("before a jis spelling", QStringLiteral("\r\n\u2212\uAC00\u00AC"), 1, 2, 2, 0xAC00u);
        addRow("after lone cr and lf", QStringLiteral("a\rb\nc\u0101"), 1, 3, 2, 0x101u);
        // One ICU drops, one it writes as another character (№).
        addRow("zero-width no-break space, private use", QStringLiteral("a\uFEFFb\r\n\uF86F"), 2, 2,
               1, 0xF86Fu);
        addRow("eight counted, five reported", QStringLiteral("ok😀").repeated(8), 8, 1, 15,
               0x1F600u);
    }

    void unencodableReported() {
        const auto [text, count, line, column, codePoint] = fetchRow<Unencodable>();
        const Cp932Encoded encoded = encodeCp932(text);
        QVERIFY(!encoded.ok());
        QVERIFY(encoded.bytes.isEmpty());
        QCOMPARE(encoded.unencodableCount, qsizetype(count));
        QCOMPARE(encoded.firstUnencodable.size(), std::min(count, 5));
        QCOMPARE(encoded.firstUnencodable.last().line, qsizetype(line));
        QCOMPARE(encoded.firstUnencodable.last().column, qsizetype(column));
        QCOMPARE(uint(encoded.firstUnencodable.last().codePoint), codePoint);
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
        cp932StreamSettings() = {};
        QCOMPARE(faults.join(u','), QString());
        QCOMPARE(respelled, jisSpellings.size());
    }

    void clearlyUtf8_data() {
        // The pieces of a file, as Open hands them to the decoder; whether they are clearly UTF-8.
        addColumns<std::tuple<QByteArrayList, bool>>();
        addRow("japanese utf-8", QByteArrayList{QStringLiteral("print \"日本\";\n").toUtf8()},
               true);
        addRow("ascii only", QByteArrayList{"print 1;\r\n"}, false);
        addRow("shift_jis japanese", QByteArrayList{"\x93\xFA\x96\x7B\x8C\xEA"}, false);
        addRow("utf-8 in a later piece",
               QByteArrayList{"print 1;\n", QStringLiteral("# 掲示板\n").toUtf8()}, true);
        addRow("shift_jis in a later piece",
               QByteArrayList{QStringLiteral("# 掲示板\n").toUtf8(), "\x93\xFA\x96\x7B\n"}, false);
        // Half-width katakana pairs that are also valid two-byte UTF-8.
        for (const char* pair : {"\xCA\xB2", "\xC8\xBA", "\xC5\xB2", "\xC3\xA8", "\xCF\xB2"}) {
            QTest::addRow("kana %02x%02x", uchar(pair[0]), uchar(pair[1]))
                << QByteArrayList{"print \"" + QByteArray(pair) + "\";"} << false;
        }
    }

    void clearlyUtf8() {
        const auto [pieces, utf8] = fetchRow<std::tuple<QByteArrayList, bool>>();
        Cp932Decoder decoder([](QByteArrayView, qint64) {});
        for (const QByteArray& piece : pieces) {
            decoder.add(piece);
        }
        const Cp932StreamResult result = decoder.finish();
        QCOMPARE(result.badOffset, qsizetype(-1));
        QCOMPARE(result.clearlyUtf8, utf8);
    }
};

ONDREL_TEST_MAIN(Cp932Test)
#include "test_cp932.moc"
