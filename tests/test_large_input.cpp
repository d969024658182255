#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "documents/cp932.h"
#include "fixture.h"
#include "test_main.h"

using namespace ondrel;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// Unusual and large files through the real Open and Save commands: whatever opens, saves back
// byte for byte (plus the one CR LF every save adds); whatever cannot open is refused with a
// message and leaves the document alone.
class LargeInputTest : public QObject {
    Q_OBJECT
private slots:
    void opensAndSavesBack_data();
    void opensAndSavesBack();
    void twoHundredMegabytesWithProgress();
    void tooLargeRefused();
};

void LargeInputTest::opensAndSavesBack_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray controls;
    for (int round = 0; round < 3; ++round) {
        for (int c = 0; c < 0x20; ++c) {
            controls += static_cast<char>(c);
        }
        controls += "\x7F\x81\x40\x00\x00";  // DEL, an ideographic space, two NULs
    }
    QTest::newRow("NUL and control characters") << controls;
    QTest::newRow("only NULs") << QByteArray(4096, '\0');
    QTest::newRow("10 MB single line")
        << encodeCp932(QString(5 << 20, QChar(0x3042))).bytes;  // あ, 2 bytes each
    QByteArray lines;
    lines.reserve(6 << 20);
    for (int i = 0; i < 2000000; ++i) {
        lines += "a\r\n";
    }
    QTest::newRow("2 million short lines") << lines;
}

void LargeInputTest::opensAndSavesBack() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("input.dat"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), bytes.size());
    }
    Fixture f;
    f.dialogs.pushText(file);
    f.choose("mnuOpen");
    QCOMPARE(f.dialogs.calls().size(), 1);  // no message
    f.choose("mnuupsave");
    QCOMPARE(f.dialogs.calls().size(), 1);
    QVERIFY(readAll(file) == bytes + "\r\n");
}

void LargeInputTest::twoHundredMegabytesWithProgress() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("big.log"));
    const QByteArray line =
        encodeCp932(QStringLiteral("$title = \"掲示板\";   #任意のタイトル\r\n")).bytes;
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QByteArray block = line.repeated((4 << 20) / line.size());
        while (out.size() < (200 << 20)) {
            QCOMPARE(out.write(block), block.size());
        }
    }
    Fixture f;
    f.dialogs.pushText(file);
    f.choose("mnuOpen");
    QCOMPARE(f.dialogs.calls().size(), 1);
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [") + file + "]");
    QCOMPARE(f.dialogs.progressLabels.size(), 1);
    // The progress went up in steps to the end, so a person sees the work move.
    const QList<int>& steps = f.dialogs.progressReported;
    QVERIFY(steps.size() > 10);
    QVERIFY(std::is_sorted(steps.begin(), steps.end()));
    QCOMPARE(steps.last(), 100);
    QCOMPARE(f.text().text().size(),
             QFileInfo(file).size() / line.size() *
                 QString::fromUtf8("$title = \"掲示板\";   #任意のタイトル\r\n").size());
}

void LargeInputTest::tooLargeRefused() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("huge.dat"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(out.resize((qint64(1) << 30) + 1));  // sparse: takes no room on disk
    }
    Fixture f;
    const QString before = f.text().text();
    f.dialogs.pushText(file);
    f.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));
    f.dialogs.push(ScriptedDialogs::cancel());
    f.choose("mnuOpen");
    QCOMPARE(f.dialogs.calls().size(), 3);
    QVERIFY(f.dialogs.calls()[1].text.contains(QStringLiteral("ファイルが大きすぎます")));
    QCOMPARE(f.text().text(), before);
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Ondrel [project]"));
}

ONDREL_TEST_MAIN(LargeInputTest)
#include "test_large_input.moc"
