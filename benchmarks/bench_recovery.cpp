// What the recovery copy costs the UI thread: typing at the end of 50 MB with and without it,
// and the longest the event loop waits while a whole 50 MB copy is taken. Prints Google
// Benchmark's own report, then the rows with their ratios and limits.
#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "documents/recovery.h"
#include "test_main.h"
#include "text/text_box.h"

using namespace ondrel;

namespace {

// Perl-like lines with Japanese, CR LF, about bytes long in UTF-8.
QByteArray perlUtf8(qsizetype bytes) {
    const QByteArray line =
        QString::fromUtf8("print \"<p>$title ソ\\フト 芸能\\懸賞 %1</p>\\n\";   # 日本語\r\n")
            .toUtf8();
    QByteArray text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes) {
        text += line;
    }
    return text;
}

struct Area {
    explicit Area(bool recovered) {
        box = std::make_unique<TextBox>(&window);
        window.resize(489, 440);
        box->widget()->resize(489, 400);
        window.show();
        box->setText(QString());
        // Loaded as Open loads: no undo history, at the save point.
        box->replaceUtf8(0, 0, perlUtf8(50 << 20));
        box->widget()->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        box->widget()->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
        if (recovered) {
            recovery = std::make_unique<Recovery>(*box, [] { return RecoveryFile{"/a.cgi", {}}; });
        }
    }
    void settle() {
        while (recovery && !recovery->isCurrent()) {
            QTest::qWait(10);
        }
    }
    QWidget window;
    std::unique_ptr<TextBox> box;
    std::unique_ptr<Recovery> recovery;
    double seconds = 0;
};

// One key typed at the end of 50 MB, painted, and the events it queues handled, in two text
// areas in turn, one with a recovery copy kept; the journal's flushes fall inside the run.
void TypeAtEndRecovery(benchmark::State& state) {
    Area areas[] = {Area(true), Area(false)};
    for (Area& area : areas) {
        if (!QTest::qWaitForWindowExposed(&area.window)) {
            state.SkipWithError("window not exposed");
        }
        // The first key makes the document modified and starts the whole copy.
        QTest::keyClick(area.box->widget(), Qt::Key_A);
        area.settle();
    }
    std::size_t first = 0;
    for (auto _ : state) {
        first = 1 - first;
        for (std::size_t n = 0; n < 2; ++n) {
            Area& area = areas[(first + n) % 2];
            QElapsedTimer clock;
            clock.start();
            QTest::keyClick(area.box->widget(), Qt::Key_A);
            area.box->widget()->viewport()->repaint();
            QCoreApplication::processEvents();
            area.seconds += clock.nsecsElapsed() / 1e9;
        }
    }
    state.counters["on"] = benchmark::Counter(areas[0].seconds * 1000 / state.iterations());
    state.counters["off"] = benchmark::Counter(areas[1].seconds * 1000 / state.iterations());
}

// The longest wait of the event loop (a timer due at once measures the gaps between its turns)
// from the change that makes 50 MB modified until its copy is on disk, the key itself left out.
void CopyPause(benchmark::State& state) {
    double longest = 0;
    for (auto _ : state) {
        Area area(true);
        if (!QTest::qWaitForWindowExposed(&area.window)) {
            state.SkipWithError("window not exposed");
        }
        QTest::keyClick(area.box->widget(), Qt::Key_A);
        QElapsedTimer gap;
        QTimer probe;
        probe.setInterval(0);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        gap.start();
        probe.start();
        while (!area.recovery->isCurrent()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        probe.stop();
    }
    state.counters["longest_pause_ms"] = benchmark::Counter(longest);
}

BENCHMARK(TypeAtEndRecovery)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyPause)->Iterations(3)->Unit(benchmark::kMillisecond);

class CounterCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            for (const auto& [counter, value] : run.counters) {
                counters[run.benchmark_name().substr(0, run.benchmark_name().find('/')) + ":" +
                         counter] = value;
            }
        }
    }
    std::map<std::string, double> counters;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The copies go to a state folder of the run's own.
    isolateEnvironment();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    CounterCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& c = reporter.counters;
    if (c.count("TypeAtEndRecovery:on") != 0) {
        const double on = c.at("TypeAtEndRecovery:on");
        const double off = c.at("TypeAtEndRecovery:off");
        std::printf("\n%-40s %9.2f ms %9.2f ms %8.2f <=1.2%s\n",
                    "type at end of 50 MB, recovery on vs off", on, off, on / off,
                    on / off <= 1.2 ? "" : "  MISSED");
    }
    if (c.count("CopyPause:longest_pause_ms") != 0) {
        const double pause = c.at("CopyPause:longest_pause_ms");
        std::printf(
            "longest pause copying 50 MB for recovery: %.2f ms (limit one frame, 16 ms)%s\n", pause,
            pause <= 16.0 ? "" : "  MISSED");
    }
    return 0;
}
