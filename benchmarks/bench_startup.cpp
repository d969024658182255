#include "bench_startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <vector>

#include "bench_table.h"

namespace ondrel::bench {

namespace {

// Child processes for the start-up row: each exits as soon as its first window is on screen.
// Starts a program with the given arguments, the given number of times; the median
// time from start to exit, in milliseconds.
double medianChildMs(const QString& program, const QStringList& arguments, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QElapsedTimer timer;
        timer.start();
        child.start(program, arguments);
        child.waitForFinished(-1);
        if (child.exitCode() != 0) {
            return -1;
        }
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

void measureStartUp() {
    const QDir here = QFileInfo(QCoreApplication::applicationFilePath()).dir();
    const QString splashProgram = here.filePath(QStringLiteral("bench_splash"));
    const QString bareProgram = here.filePath(QStringLiteral("bench_bare_window"));
    double splash = 0;
    double labelled = 0;
    // Interleaved, so a change in the machine's load falls on both. The baseline window shows
    // one Japanese label: the fonts every window with Japanese text loads are not the splash's.
    constexpr int kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        splash += medianChildMs(splashProgram, {}, 3);
        labelled += medianChildMs(bareProgram, {QStringLiteral("--japanese-label")}, 3);
    }
    printRow("start-up to splash vs window with a Japanese label", splash / kRounds,
             labelled / kRounds, 1.3, " ms");
}

}  // namespace ondrel::bench
