// The operations a person waits for, each beside the baseline it is measured against in the
// same run. A new row of the closing table starts here: a benchmark (or a counter of one),
// registered below, then a line in the table of bench_table.cpp that pairs it with its baseline.
#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "bench_inputs.h"
#include "cp932_text.h"
#include "documents/cp932.h"
#include "documents/file_commands.h"
#include "documents/long_lines.h"
#include "editing/backslash_marks.h"
#include "fixture.h"
#include "scripted_dialogs.h"
#include "snippets/templates.h"
#include "text/text_box.h"

namespace ondrel::bench {
namespace {

// --- 1. Open -------------------------------------------------------------------------------

void Open(benchmark::State& state) {
    const QString path = dataFile(state.range(0) * kMiB);
    Fixture f;
    for (auto _ : state) {
        f.dialogs.pushText(path);
        f.choose("mnuOpen");
    }
    if (f.text().text().isEmpty() || f.dialogs.unexpectedCalls() != 0) {
        state.SkipWithError("open failed");
    }
}

void OpenBaselineDecodeSetText(benchmark::State& state) {
    const QString path = dataFile(state.range(0) * kMiB);
    QsciScintilla editor;
    for (auto _ : state) {
        setTextOnce(editor, bareDecode(fileBytes(path)));
    }
}

void OpenPeerPlainTextEdit(benchmark::State& state) {
    const QString path = dataFile(state.range(0) * kMiB);
    QPlainTextEdit editor;
    for (auto _ : state) {
        editor.setPlainText(bareDecode(fileBytes(path)));
    }
}

// --- 2. Save -------------------------------------------------------------------------------

void Save(benchmark::State& state) {
    Fixture f;
    f.text().setText(perlText(state.range(0) * kMiB));
    f.dialogs.pushText(scratch().filePath(QStringLiteral("saved.cgi")));
    f.choose("mnuNameSave");
    for (auto _ : state) {
        f.choose("mnuupsave");
    }
    if (f.dialogs.calls().size() != 1) {
        state.SkipWithError("save failed");
    }
}

void SaveBaselinePlainWrite(benchmark::State& state) {
    QsciScintilla editor;
    setTextOnce(editor, perlText(state.range(0) * kMiB));
    const QString path = scratch().filePath(QStringLiteral("plain.cgi"));
    for (auto _ : state) {
        const long length = editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
        QByteArray utf8(length + 1, Qt::Uninitialized);
        editor.SendScintilla(QsciScintillaBase::SCI_GETTEXT, static_cast<unsigned long>(length + 1),
                             static_cast<void*>(utf8.data()));
        utf8.truncate(length);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bareEncode(QString::fromUtf8(utf8)) + "\r\n");
    }
}

// --- 3. Replace all ------------------------------------------------------------------------

// The command on the editor's document, then the baseline, QString::replace on the same text
// set into a bare text area, in turn in every repetition, so that the machine's drift touches
// both alike; each one's time is a counter of its own.
void ReplaceAll(benchmark::State& state) {
    const QString text = perlText(state.range(0) * kMiB);
    Fixture f;
    QsciScintilla bare;
    double command = 0;
    double baseline = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.text().setText(text);
        f.dialogs.pushText(QStringLiteral("$title"));
        f.dialogs.pushText(QStringLiteral("$page_title"));
        QElapsedTimer clock;
        clock.start();
        f.choose("mnuokikae");
        command += clock.nsecsElapsed() / 1e6;
        clock.restart();
        QString copy = text;
        copy.replace(QStringLiteral("$title"), QStringLiteral("$page_title"));
        setTextOnce(bare, copy);
        baseline += clock.nsecsElapsed() / 1e6;
        state.ResumeTiming();
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["command_ms"] = benchmark::Counter(command / iterations);
    state.counters["baseline_ms"] = benchmark::Counter(baseline / iterations);
    state.counters["matches"] = text.count(QStringLiteral("$title"));
}

// --- 4. Insert a template ------------------------------------------------------------------

// range(0): document size in KiB; range(1): where, in percent of the document.
void InsertBlock(benchmark::State& state) {
    Fixture f;
    f.window.show();
    // Painting only happens once the platform has exposed the window.
    if (!QTest::qWaitForWindowExposed(&f.window)) {
        state.SkipWithError("window not exposed");
    }
    const QString text = perlText(state.range(0) * 1024);
    const Template& bbs = kBulletinBoardSettings;
    for (auto _ : state) {
        state.PauseTiming();
        f.text().setText(text);
        const int at = static_cast<int>(text.size() * state.range(1) / 100);
        f.text().select(at, at);
        f.text().widget()->viewport()->repaint();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        insertTemplate(f.text(), f.dialogs, bbs);
        f.text().widget()->viewport()->repaint();
    }
}

// One key typed at the end of a document, painted, and the events it queues handled, in four
// bare text areas in turn: 50 MB and 5 KB, each with the Perl backslash marks on and off. Keys
// alternate between the four, so the machine's drift over seconds touches every one alike; each
// area's mean time per key is reported as a counter of its own.
void TypeAtEnd(benchmark::State& state) {
    struct Area {
        Area(const char* areaName, qsizetype areaKib, bool areaMarked)
            : name(areaName), kib(areaKib), marked(areaMarked) {}
        const char* name;
        qsizetype kib;
        bool marked;
        QWidget window;
        std::unique_ptr<TextBox> box;
        std::unique_ptr<BackslashMarks> marks;
        double seconds = 0;
    };
    Area areas[] = {{"50MB_on", 50 * 1024, true},
                    {"50MB_off", 50 * 1024, false},
                    {"5KB_on", 5, true},
                    {"5KB_off", 5, false}};
    for (Area& area : areas) {
        area.box = std::make_unique<TextBox>(&area.window);
        if (area.marked) {
            area.marks = std::make_unique<BackslashMarks>(*area.box, asciiTrailChars());
        }
        area.window.resize(489, 440);
        area.box->widget()->resize(489, 400);
        area.window.show();
        if (!QTest::qWaitForWindowExposed(&area.window)) {
            state.SkipWithError("window not exposed");
        }
        const QString text = perlText(area.kib * 1024);
        area.box->setText(text);
        area.box->select(static_cast<int>(text.size()), static_cast<int>(text.size()));
    }
    // The marks scan a new text in slices from the event loop: let them finish first.
    QTest::qWait(100);
    while (!areas[0].marks->idle() || !areas[2].marks->idle()) {
        QTest::qWait(100);
    }
    std::size_t first = 0;
    for (auto _ : state) {
        // Each area takes its turn first, in case the first key after a pause costs more.
        first = (first + 1) % std::size(areas);
        for (std::size_t n = 0; n < std::size(areas); ++n) {
            Area& area = areas[(first + n) % std::size(areas)];
            QElapsedTimer clock;
            clock.start();
            QTest::keyClick(area.box->widget(), Qt::Key_A);
            area.box->widget()->viewport()->repaint();
            QCoreApplication::processEvents();
            // The marks' rescan of the line is this key's work, not the next area's.
            while (area.marks && !area.marks->idle()) {
                QCoreApplication::processEvents();
            }
            area.seconds += clock.nsecsElapsed() / 1e9;
        }
    }
    for (const Area& area : areas) {
        state.counters[area.name] =
            benchmark::Counter(area.seconds * 1000 / static_cast<double>(state.iterations()));
    }
}

// A whole 50 MB text marked from the event loop after it is loaded: the time until every line
// is marked, and the longest the event loop waited meanwhile (a timer due at once measures the
// gaps between its turns).
void MarkWholeText(benchmark::State& state) {
    const QString text = perlText(state.range(0) * kMiB);
    double longest = 0;
    for (auto _ : state) {
        QWidget window;
        TextBox box(&window);
        BackslashMarks marks(box, asciiTrailChars());
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            state.SkipWithError("window not exposed");
        }
        box.setText(text);
        const EventLoopGaps gaps;
        while (!marks.idle()) {
            QCoreApplication::processEvents();
        }
        longest = std::max(longest, gaps.longestMs());
    }
    state.counters["longest_pause_ms"] = benchmark::Counter(longest);
}

// One key in a long line, painted, with the Perl marks, in five files opened by Open, in turn:
// a letter typed in the middle of a line just at the long-line limit, in the first such line of
// the heaviest page that is not shown split, and in the short lines of ordinary Perl; in a 20 MB
// line (shown split and read-only, where typing changes nothing) Page Down and Page Up in turn,
// which move the caret and show a page of rows not shown before; and Page Up back onto the
// heaviest page after Page Down (not timed) left it. Each file's mean time per timed key is a
// counter of its own.
void KeyOnLongLine(benchmark::State& state) {
    struct Area {
        Area(const char* areaName, Qt::Key key, Qt::Key nextKey, bool timesNextKey = true)
            : name(areaName), keys{key, nextKey}, timed{true, timesNextKey} {}
        const char* name;
        Qt::Key keys[2];
        bool timed[2];
        int timedKeys = 0;
        QWidget window;
        TextBox box{&window};
        BackslashMarks marks{box, asciiTrailChars()};
        ScriptedDialogs dialogs;
        FileCommands files{box, dialogs, [](const QString&) {}};
        double seconds = 0;
    };
    // Japanese Perl run together, no line breaks: at the limit in UTF-8, then 20 MB of the file.
    const QString run = perlText(21 * kMiB).replace(QStringLiteral("\r\n"), QStringLiteral("  "));
    const auto lineOf = [&run](qsizetype utf8Bytes) {
        QString line;
        for (qsizetype i = 0, bytes = 0; i < run.size(); ++i) {
            const qsizetype more = QStringView(run).mid(i, 1).toUtf8().size();
            if (bytes + more > utf8Bytes) {
                return line + QString(utf8Bytes - bytes, u'x');
            }
            line += run[i];
            bytes += more;
        }
        return line;
    };
    const QString atLimit = lineOf(longLineLimit());
    const QByteArray twentyMb = encodeCp932(run).bytes.left(20 * kMiB);
    const QByteArray lineAtLimit = encodeCp932(atLimit).bytes;
    // The heaviest page that is not shown split: as many lines at the limit as any page's rows
    // may hold, the rest lines as long as always fit.
    const qsizetype fit = longLinePageBytes() / longLineLimit();
    const QByteArray pageAtLimit = ((lineAtLimit + "\r\n").repeated(fit) +
                                    (encodeCp932(lineOf(longLineFitBytes())).bytes + "\r\n")
                                        .repeated(longLinePageRows() - fit))
                                       .repeated(3);
    const QByteArray files[] = {lineAtLimit, twentyMb, fileBytes(dataFile(kMiB)), pageAtLimit,
                                pageAtLimit};
    // The last area starts at the top: Page Down leaves the lines at the limit, whose layouts
    // the text area then drops, and the timed Page Up lays them out again.
    Area areas[] = {
        Area("limit_ms", Qt::Key_A, Qt::Key_A), Area("20MB_ms", Qt::Key_PageDown, Qt::Key_PageUp),
        Area("short_ms", Qt::Key_A, Qt::Key_A), Area("page_at_limit_ms", Qt::Key_A, Qt::Key_A),
        Area("page_up_at_limit_ms", Qt::Key_PageUp, Qt::Key_PageDown, false)};
    for (std::size_t n = 0; n < std::size(areas); ++n) {
        Area& area = areas[n];
        const QString path = scratch().filePath(QStringLiteral("long-%1.cgi").arg(n));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(files[n] + "\r\n") < 0) {
            state.SkipWithError("cannot write the file");
        }
        file.close();
        area.dialogs.push(ScriptedDialogs::button(MessageAnswer::Ok));  // the read-only notice
        area.window.resize(489, 440);
        area.box.widget()->resize(489, 400);
        area.window.show();
        if (!QTest::qWaitForWindowExposed(&area.window) ||
            !area.files.openFile(QFile::encodeName(path))) {
            state.SkipWithError("window not exposed or file not opened");
        }
        // The middle of the text, of the first line in the page of lines at the limit, or the
        // top.
        const int middle = static_cast<int>((n == 3 ? atLimit : area.box.text()).size() / 2);
        area.box.select(n == 4 ? 0 : middle, n == 4 ? 0 : middle);
    }
    if (!areas[1].box.isReadOnly() || areas[0].box.isReadOnly() || areas[3].box.isReadOnly() ||
        areas[4].box.isReadOnly()) {
        state.SkipWithError("the long-line limit is not where the files expect it");
    }
    while (std::any_of(std::begin(areas), std::end(areas),
                       [](const Area& area) { return !area.marks.idle(); })) {
        QTest::qWait(100);
    }
    std::size_t first = 0;
    std::size_t turn = 0;
    for (auto _ : state) {
        first = (first + 1) % std::size(areas);
        ++turn;
        for (std::size_t n = 0; n < std::size(areas); ++n) {
            Area& area = areas[(first + n) % std::size(areas)];
            QElapsedTimer clock;
            clock.start();
            QTest::keyClick(area.box.widget(), area.keys[turn % 2]);
            area.box.widget()->viewport()->repaint();
            QCoreApplication::processEvents();
            while (!area.marks.idle()) {
                QCoreApplication::processEvents();
            }
            if (area.timed[turn % 2]) {
                area.seconds += clock.nsecsElapsed() / 1e9;
                ++area.timedKeys;
            }
        }
    }
    for (const Area& area : areas) {
        state.counters[area.name] =
            benchmark::Counter(area.seconds * 1000 / std::max(area.timedKeys, 1));
    }
}

// Operations on 50 MB take seconds: one iteration per repetition is enough to time them.
BENCHMARK(Open)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(Open)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenBaselineDecodeSetText)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenBaselineDecodeSetText)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenPeerPlainTextEdit)->Arg(5)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenPeerPlainTextEdit)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Save)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(Save)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveBaselinePlainWrite)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveBaselinePlainWrite)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ReplaceAll)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(InsertBlock)
    ->Args({5 * 1024, 0})
    ->Args({5 * 1024, 50})
    ->Args({5 * 1024, 100})
    ->Args({5, 0})
    ->Args({5, 50})
    ->Args({5, 100})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(MarkWholeText)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(TypeAtEnd)->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK(KeyOnLongLine)->Iterations(50)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ondrel::bench
