#include "bench_memory.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <cstring>

#include "bench_inputs.h"
#include "bench_table.h"
#include "editing/backslash_marks.h"
#include "fixture.h"

namespace ondrel::bench {

namespace {

// Opens the file once in a fresh process and reports how far the peak resident size rose
// above the size before the open. The peak is read from /proc, reset just before the open
// (a fresh process's getrusage peak would still count the parent it was forked from).
long procStatusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<qsizetype>(std::strlen(field)))
                .trimmed()
                .split(' ')[0]
                .toLong();
        }
    }
    return -1;
}

// Resets the peak resident size to the present one; false where the system cannot.
bool resetPeak() {
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    return reset.open(QIODevice::WriteOnly) && reset.write("5") == 1;
}

// The open counts until the Perl marks have scanned the whole text, which they do after it.
int measurePeakOpen(const QString& path, const char* operation, double target) {
    Fixture f;
    const long before = procStatusKiB("VmRSS:");
    if (!resetPeak()) {
        std::printf("peak memory: cannot reset the peak counter\n");
        return 1;
    }
    f.dialogs.pushText(path);
    f.choose("mnuOpen");
    const auto* marks = f.text().widget()->findChild<BackslashMarks*>();
    while (marks != nullptr && !marks->idle()) {
        QCoreApplication::processEvents();
    }
    const long peak = procStatusKiB("VmHWM:");
    const bool opened = f.dialogs.calls().size() == 1 && f.text().utf8Length() > 0;
    printRow(opened ? operation : "peak memory: OPEN FAILED", (peak - before) / 1024.0,
             double(QFileInfo(path).size()) / kMiB, target, " MB");
    return opened && marks != nullptr ? 0 : 1;
}

// 50 MB of empty lines, each ended by CR LF as a script saved on Windows. The text area's own
// line index takes 4 bytes a line and grows by about a third at a time, copying itself: at its
// last growth (24 million lines) the old index and its copy, 96 MB each, are held beside the
// 50 MB of text, and this version of the text area has no call that sets the index's size once.
// So the row is reported without a target: Open instead refuses a file whose lines the memory
// left would not hold, before it runs out.
QString emptyLinesFile() {
    const QString path = scratch().filePath(QStringLiteral("empty-lines.cgi"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    const QByteArray block = QByteArray("\r\n").repeated(kMiB / 2);
    for (int i = 0; i < 50; ++i) {
        file.write(block);
    }
    return path;
}

// Replaces about a million matches in 50 MB and reports how far the peak resident size rose
// above the size before, against the document's UTF-8 size.
int measurePeakReplace() {
    Fixture f;
    f.text().setText(perlText(50 * kMiB));
    const qsizetype document = f.text().utf8Length();
    const long before = procStatusKiB("VmRSS:");
    if (!resetPeak()) {
        return 1;
    }
    f.dialogs.pushText(QStringLiteral("$title"));
    f.dialogs.pushText(QStringLiteral("$page_title"));
    f.choose("mnuokikae");
    const long peak = procStatusKiB("VmHWM:");
    printRow("peak memory replace all 50 MB vs UTF-8", (peak - before) / 1024.0,
             double(document) / kMiB, 3.0, " MB");
    return 0;
}

}  // namespace

void measurePeakMemory() {
    const QString path = dataFile(50 * kMiB);
    QProcess peak;
    peak.setProcessChannelMode(QProcess::ForwardedChannels);
    peak.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-open"), path});
    peak.waitForFinished(-1);
    peak.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--peak-open-lines"), emptyLinesFile()});
    peak.waitForFinished(-1);
    peak.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-replace")});
    peak.waitForFinished(-1);
}

std::optional<int> measurePeakMemoryIfAsked(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--peak-open") {
        return measurePeakOpen(QString::fromLocal8Bit(argv[2]),
                               "peak memory opening 50 MB vs file size", 2.5);
    }
    if (argc == 3 && QByteArray(argv[1]) == "--peak-open-lines") {
        return measurePeakOpen(QString::fromLocal8Bit(argv[2]),
                               "peak memory opening 50 MB of empty lines", 0);
    }
    if (argc == 2 && QByteArray(argv[1]) == "--peak-replace") {
        return measurePeakReplace();
    }
    return std::nullopt;
}

}  // namespace ondrel::bench
