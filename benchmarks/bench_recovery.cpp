// What the recovery copy costs the UI thread: typing at the end of 50 MB with and without it,
// and the longest the event loop waits while a whole 50 MB copy is taken.
#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <memory>

#include "bench_inputs.h"
#include "documents/recovery.h"
#include "text/text_box.h"

namespace ondrel::bench {

namespace {

struct Area {
    explicit Area(bool recovered) {
        box = std::make_unique<TextBox>(&window);
        window.resize(489, 440);
        box->widget()->resize(489, 400);
        window.show();
        box->setText(QString());
        // Loaded as Open loads: no undo history, at the save point.
        box->replaceUtf8(0, 0, perlText(50 * kMiB).toUtf8());
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
        const EventLoopGaps gaps;
        while (!area.recovery->isCurrent()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        longest = std::max(longest, gaps.longestMs());
    }
    state.counters["longest_pause_ms"] = benchmark::Counter(longest);
}

BENCHMARK(TypeAtEndRecovery)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyPause)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace ondrel::bench
