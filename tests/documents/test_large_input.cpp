#include <QFileInfo>

#include "cp932_text.h"
#include "fixture.h"

using namespace ondrel;

// A large file through the real Open command, with its progress.
class LargeInputTest : public QObject {
    Q_OBJECT
private slots:
    void twoHundredMegabytesWithProgress() {
        Fixture f;
        const QString file = f.path("big.log");
        const QString line = QStringLiteral("$title = \"掲示板\";   #任意のタイトル\r\n");
        const QByteArray bytes = encodeCp932(line).bytes;
        writeBytes(file, bytes.repeated((200 << 20) / bytes.size() + 1));
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
        // The file's last CR LF is its final line break, kept out of the text.
        QCOMPARE(f.text().text().size(), QFileInfo(file).size() / bytes.size() * line.size() - 2);
    }
};

ONDREL_TEST_MAIN(LargeInputTest)
#include "test_large_input.moc"
