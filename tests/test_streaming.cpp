#include <QTemporaryDir>
#include <QTest>

#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "fixture.h"
#include "test_files.h"
#include "test_main.h"
#include "text/insert_at_caret.h"

using namespace ondrel;

// Open decodes a file in pieces, several at once where there are cores, into a document the
// text area takes only when the whole file is good.
class StreamingTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { cp932StreamSettings() = Cp932StreamSettings(); }
    void badLastPieceLeavesDocumentAndUndo();
    void piecesInParallelGiveTheOnePieceDocument();
    void longLineInBoundedParts();
};

void StreamingTest::badLastPieceLeavesDocumentAndUndo() {
    cp932StreamSettings() = {64 << 10, 2};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.cgi"));
    // About 3 MB of lines, then a lead byte with nothing after it.
    QByteArray bytes = QByteArray("print \"\x93\xfa\x96\x7b\x8c\xea\";\r\n").repeated(150000);
    bytes += "# \x82";
    writeBytes(path, bytes);
    Fixture f;
    f.setDocument(QStringLiteral("old text\r\n"), 3, 3);
    InsertAtCaret(f.text(), QStringLiteral("日本"));
    f.text().setUnmodified();  // Open would first ask about the changes
    f.dialogs.pushText(path);
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    f.dialogs.push(ScriptedDialogs::cancel());
    f.choose("mnuOpen");
    QCOMPARE(f.dialogs.calls().size(), 3);
    QCOMPARE(
        f.dialogs.calls()[1].text,
        QStringLiteral("ファイルを開けません。\r\n") + path +
            QStringLiteral("\r\nShift_JIS (CP932) のテキストとして読めないバイトがあります（") +
            QString::number(bytes.size()) + QStringLiteral(" バイト目）。"));
    // The rest of what a failed open keeps is the open failure table's.
    QCOMPARE(f.text().text(), QStringLiteral("old日本 text\r\n"));
    f.text().undo();
    QCOMPARE(f.text().text(), QStringLiteral("old text\r\n"));
}

void StreamingTest::piecesInParallelGiveTheOnePieceDocument() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mixed.cgi"));
    // ≒ first at the converter's code, then at NEC's; ∵ first at NEC's, then at the
    // converter's; half-width katakana, NUL, the single bytes ICU's table lacks, a lone CR and
    // a line far longer than a piece.
    const char lineBytes[] =
        "$a = \"\x81\xe0\xb1\xb2\x00\x80\xa0\xfd\xfe\xff\";\r"
        "# \x87\x9a\x93\xfa\x96\x7b\r\n";
    const QByteArray line(lineBytes, sizeof(lineBytes) - 1);
    const QByteArray bytes = line.repeated(3000) + QByteArray("\x82\xa0").repeated(5000) + "\r\n" +
                             QByteArray("\x87\x90\x81\xe6\n").repeated(3000);
    writeBytes(path, bytes);
    QString texts[2];
    QByteArray saved[2];
    const Cp932StreamSettings settings[2] = {{qsizetype(1) << 30, 1}, {1000, 2}};
    for (int run = 0; run < 2; ++run) {
        cp932StreamSettings() = settings[run];
        Fixture f;
        f.dialogs.pushText(path);
        f.choose("mnuOpen");
        QCOMPARE(f.dialogs.calls().size(), 1);
        texts[run] = f.text().text();
        const QString copy = dir.filePath(QStringLiteral("saved%1.cgi").arg(run));
        f.dialogs.pushText(copy);
        f.choose("mnuNameSave");
        saved[run] = readBytes(copy);
    }
    const char start[] = "$a = \"≒ｱｲ\0\u0080\uF8F0\uF8F1\uF8F2\uF8F3\";\r# ∵日本\r\n";
    QVERIFY(texts[0].startsWith(QString::fromUtf8(start, sizeof(start) - 1)));
    // The last line feed is the file's final line break, kept out of the text.
    QVERIFY(texts[0].endsWith(QStringLiteral("≒∵")));
    QCOMPARE(texts[1].size(), texts[0].size());
    QVERIFY(texts[1] == texts[0]);
    // ∵ is written at NEC's code throughout, ≒ at the converter's.
    QByteArray expected = bytes;
    expected.replace("\x87\x90", "\x81\xe0").replace("\x81\xe6", "\x87\x9a");
    QVERIFY(saved[0] == expected);
    QVERIFY(saved[1] == expected);
}

// A line longer than a piece is converted and handed on in parts of under two pieces, however its
// characters fall across the parts' ends: no call of the converter needs more room than that.
void StreamingTest::longLineInBoundedParts() {
    cp932StreamSettings() = {1001, 1};
    const QByteArray line = "x" + QByteArray("\x93\xfa\x96\x7b\x82\xa0").repeated(2000) + "\r\n";
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

ONDREL_TEST_MAIN(StreamingTest)
#include "test_streaming.moc"
