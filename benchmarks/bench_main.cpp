// Benchmarks of the operations a person waits for, each against a baseline measured in the
// same run. Prints Google Benchmark's own report, then a table of medians and ratios.
#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "cp932_text.h"
#include "documents/cp932.h"
#include "editing/backslash_marks.h"
#include "fixture.h"
#include "snippets/templates.h"
#include "text/text_box.h"

using namespace ondrel;

namespace {

constexpr qsizetype kMiB = 1024 * 1024;

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// Japanese-heavy Perl, CR LF, about `bytes` long once encoded in code page 932. Every line
// holds "$title" once, so a 50 MB text holds about a million of them.
QString perlText(qsizetype bytes) {
    static const char* const kLines[] = {
        "$title = \"掲示板\";   #任意のタイトル %1\r\n",
        "print \"<p>$title ソ\\フト 芸能\\懸賞 %1</p>\\n\";\r\n",
        "# $title 日本語のコメント、ＭＳ Ｐゴシック %1\r\n",
        "$parts[%1] = \"$title 各種資料と情報源\";\r\n",
    };
    QString text;
    text.reserve(bytes);
    qsizetype encoded = 0;
    for (int n = 0; encoded < bytes; ++n) {
        const QString line = QString::fromUtf8(kLines[n % 4]).arg(n);
        text += line;
        encoded += line.size();
        for (QChar c : line) {
            encoded += c.unicode() > 0x7F ? 1 : 0;  // two bytes in code page 932
        }
    }
    return text;
}

QString dataFile(qsizetype bytes) {
    const QString path = scratch().filePath(QStringLiteral("data-%1.cgi").arg(bytes));
    if (!QFile::exists(path)) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(encodeCp932(perlText(bytes)).bytes);
    }
    return path;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// The plain way to read code page 932: Qt's own decoder, to UTF-16.
QString bareDecode(const QByteArray& bytes) {
    QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

// The plain way to write it: Qt's own encoder, from UTF-16.
QByteArray bareEncode(const QString& text) {
    QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

void setTextOnce(QsciScintilla& editor, const QString& text) {
    editor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, text.toUtf8().constData());
}

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
    const Template& bbs = kSettingsBlocks.front();
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
            area.marks = std::make_unique<BackslashMarks>(*area.box, backslashTrailChars());
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
        BackslashMarks marks(box, backslashTrailChars());
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            state.SkipWithError("window not exposed");
        }
        QElapsedTimer gap;
        QTimer probe;
        probe.setInterval(0);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, gap.nsecsElapsed() / 1e6);
            gap.restart();
        });
        probe.start();
        box.setText(text);
        gap.start();
        while (!marks.idle()) {
            QCoreApplication::processEvents();
        }
    }
    state.counters["longest_pause_ms"] = benchmark::Counter(longest);
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

// Collects the medians of the repetitions for the closing table.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                std::string name = run.run_name.str();
                name = name.substr(0, name.find("/repeats:"));
                name = name.substr(0, name.find("/iterations:"));
                medians[name] = run.GetAdjustedRealTime();
                for (const auto& [counter, value] : run.counters) {
                    medians[name + ":" + counter] = value;
                }
            }
        }
    }
    std::map<std::string, double> medians;
};

// A row of the table; a target of 0 prints none (a row shown for what it explains).
void printRow(const char* operation, double measured, double baseline, double target,
              const char* unit) {
    const double ratio = measured / baseline;
    std::printf("%-40s %9.2f%3s %9.2f%3s %8.2f", operation, measured, unit, baseline, unit, ratio);
    if (target > 0) {
        std::printf(" %7s%.1f%s", "<=", target, ratio <= target ? "" : "  MISSED");
    }
    std::printf("\n");
}

void printTable(const std::map<std::string, double>& medians) {
    struct Row {
        const char* operation;
        const char* measured;
        const char* baseline;
        double target;
    };
    const Row rows[] = {
        {"open 5 MB vs decode+SETTEXT", "Open/5", "OpenBaselineDecodeSetText/5", 1.3},
        {"open 50 MB vs decode+SETTEXT", "Open/50", "OpenBaselineDecodeSetText/50", 0.6},
        {"open 5 MB vs QPlainTextEdit", "Open/5", "OpenPeerPlainTextEdit/5", 0.3},
        {"open 50 MB vs QPlainTextEdit", "Open/50", "OpenPeerPlainTextEdit/50", 0.3},
        {"save 5 MB vs plain write", "Save/5", "SaveBaselinePlainWrite/5", 1.3},
        {"save 50 MB vs encode+write", "Save/50", "SaveBaselinePlainWrite/50", 1.0},
        {"replace all 50 MB vs QString::replace", "ReplaceAll/50:command_ms",
         "ReplaceAll/50:baseline_ms", 0.1},
        {"insert block, start of 5 MB vs 5 KB", "InsertBlock/5120/0", "InsertBlock/5/0", 4.0},
        {"insert block, middle of 5 MB vs 5 KB", "InsertBlock/5120/50", "InsertBlock/5/50", 4.0},
        {"insert block, end of 5 MB vs 5 KB", "InsertBlock/5120/100", "InsertBlock/5/100", 4.0},
        {"type at end of 50 MB vs 5 KB (marks off)", "TypeAtEnd:50MB_off", "TypeAtEnd:5KB_off",
         1.2},
        {"type at end of 50 MB vs 5 KB (marks on)", "TypeAtEnd:50MB_on", "TypeAtEnd:5KB_on", 1.2},
        {"type at end of 50 MB, marks on vs off", "TypeAtEnd:50MB_on", "TypeAtEnd:50MB_off", 1.2},
    };
    std::printf("\n%-40s %12s %12s %8s %8s\n", "operation", "median ms", "baseline ms", "ratio",
                "target");
    for (const Row& row : rows) {
        const auto measured = medians.find(row.measured);
        const auto baseline = medians.find(row.baseline);
        if (measured == medians.end() || baseline == medians.end()) {
            continue;
        }
        printRow(row.operation, measured->second, baseline->second, row.target, "");
    }
    // An absolute limit, not a ratio: the window must answer within one frame at 60 Hz.
    const auto pause = medians.find("MarkWholeText/50:longest_pause_ms");
    if (pause != medians.end()) {
        std::printf("longest pause marking 50 MB: %.2f ms (limit one frame, 16 ms)%s\n",
                    pause->second, pause->second <= 16.0 ? "" : "  MISSED");
    }
}

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

int measurePeakOpen(const QString& path) {
    Fixture f;
    const long before = procStatusKiB("VmRSS:");
    if (!resetPeak()) {
        std::printf("peak memory: cannot reset the peak counter\n");
        return 1;
    }
    f.dialogs.pushText(path);
    f.choose("mnuOpen");
    const long peak = procStatusKiB("VmHWM:");
    const bool opened = f.dialogs.calls().size() == 1 && f.text().utf8Length() > 0;
    printRow(opened ? "peak memory opening 50 MB vs file size" : "peak memory: OPEN FAILED",
             (peak - before) / 1024.0, double(QFileInfo(path).size()) / kMiB, 2.5, " MB");
    return opened ? 0 : 1;
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

void measureStartUp() {
    const QDir here = QFileInfo(QCoreApplication::applicationFilePath()).dir();
    const QString splashProgram = here.filePath(QStringLiteral("bench_splash"));
    const QString bareProgram = here.filePath(QStringLiteral("bench_bare_window"));
    double splash = 0;
    double bare = 0;
    double labelled = 0;
    // Interleaved, so a change in the machine's load falls on all three.
    constexpr int kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        splash += medianChildMs(splashProgram, {}, 3);
        bare += medianChildMs(bareProgram, {}, 3);
        labelled += medianChildMs(bareProgram, {QStringLiteral("--japanese-label")}, 3);
    }
    printRow("start-up to splash vs bare Qt window", splash / kRounds, bare / kRounds, 1.5, " ms");
    // No target of its own: how much of the above is the splash's own, beyond the fonts every
    // window with Japanese text loads.
    printRow("start-up to splash vs Japanese label", splash / kRounds, labelled / kRounds, 0,
             " ms");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--peak-open") {
        return measurePeakOpen(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 2 && QByteArray(argv[1]) == "--peak-replace") {
        return measurePeakReplace();
    }
    QuietOffscreen quiet;
    benchmark::Initialize(&argc, argv);
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printTable(reporter.medians);
    std::fflush(stdout);
    // Peak memory is measured in a process of its own, so nothing above counts towards it.
    const QString path = dataFile(50 * kMiB);
    QProcess peak;
    peak.setProcessChannelMode(QProcess::ForwardedChannels);
    peak.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-open"), path});
    peak.waitForFinished(-1);
    peak.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--peak-replace")});
    peak.waitForFinished(-1);
    measureStartUp();
    return 0;
}
