// Benchmarks of the operations a person waits for, each against a baseline measured in the
// same run. Prints Google Benchmark's own report, then a table of medians and ratios.
#include <benchmark/benchmark.h>

#include <Qsci/qsciscintilla.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "app/program.h"
#include "documents/cp932.h"
#include "fixture.h"
#include "snippets/templates.h"

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
        setTextOnce(editor, decodeCp932(fileBytes(path)).text);
    }
}

void OpenPeerPlainTextEdit(benchmark::State& state) {
    const QString path = dataFile(state.range(0) * kMiB);
    QPlainTextEdit editor;
    for (auto _ : state) {
        editor.setPlainText(decodeCp932(fileBytes(path)).text);
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
        file.write(encodeCp932(QString::fromUtf8(utf8)).bytes + "\r\n");
    }
}

// --- 3. Replace all ------------------------------------------------------------------------

void ReplaceAll(benchmark::State& state) {
    const QString text = perlText(state.range(0) * kMiB);
    Fixture f;
    for (auto _ : state) {
        state.PauseTiming();
        f.text().setText(text);
        state.ResumeTiming();
        f.dialogs.pushText(QStringLiteral("$title"));
        f.dialogs.pushText(QStringLiteral("$page_title"));
        f.choose("mnuokikae");
    }
    state.counters["matches"] = text.count(QStringLiteral("$title"));
}

void ReplaceAllBaselineQStringReplace(benchmark::State& state) {
    const QString text = perlText(state.range(0) * kMiB);
    QsciScintilla editor;
    for (auto _ : state) {
        QString copy = text;
        copy.replace(QStringLiteral("$title"), QStringLiteral("$page_title"));
        setTextOnce(editor, copy);
    }
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

// --- 5. Start-up ---------------------------------------------------------------------------

void StartUp(benchmark::State& state) {
    for (auto _ : state) {
        ScriptedDialogs dialogs;
        FakeRegistry registry;
        Program program(dialogs, registry);
        program.showForm1().repaint();
        QCoreApplication::processEvents();
    }
}

void StartUpBaselineEmptyWindow(benchmark::State& state) {
    for (auto _ : state) {
        QMainWindow window;
        auto* editor = new QsciScintilla(&window);
        window.setCentralWidget(editor);
        window.resize(489, 440);
        window.show();
        window.repaint();
        QCoreApplication::processEvents();
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
BENCHMARK(ReplaceAllBaselineQStringReplace)->Arg(50)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(InsertBlock)
    ->Args({5 * 1024, 0})
    ->Args({5 * 1024, 50})
    ->Args({5 * 1024, 100})
    ->Args({5, 0})
    ->Args({5, 50})
    ->Args({5, 100})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StartUp)->Unit(benchmark::kMillisecond);
BENCHMARK(StartUpBaselineEmptyWindow)->Unit(benchmark::kMillisecond);

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
            }
        }
    }
    std::map<std::string, double> medians;
};

void printTable(const std::map<std::string, double>& medians) {
    struct Row {
        const char* operation;
        const char* measured;
        const char* baseline;
        double target;
    };
    const Row rows[] = {
        {"open 5 MB vs decode+SETTEXT", "Open/5", "OpenBaselineDecodeSetText/5", 1.3},
        {"open 50 MB vs decode+SETTEXT", "Open/50", "OpenBaselineDecodeSetText/50", 1.3},
        {"open 5 MB vs QPlainTextEdit", "Open/5", "OpenPeerPlainTextEdit/5", 0.3},
        {"open 50 MB vs QPlainTextEdit", "Open/50", "OpenPeerPlainTextEdit/50", 0.3},
        {"save 5 MB vs plain write", "Save/5", "SaveBaselinePlainWrite/5", 1.3},
        {"save 50 MB vs plain write", "Save/50", "SaveBaselinePlainWrite/50", 1.3},
        {"replace all 50 MB vs QString::replace", "ReplaceAll/50",
         "ReplaceAllBaselineQStringReplace/50", 2.0},
        {"insert block, start of 5 MB vs 5 KB", "InsertBlock/5120/0", "InsertBlock/5/0", 4.0},
        {"insert block, middle of 5 MB vs 5 KB", "InsertBlock/5120/50", "InsertBlock/5/50", 4.0},
        {"insert block, end of 5 MB vs 5 KB", "InsertBlock/5120/100", "InsertBlock/5/100", 4.0},
        {"start-up vs empty window", "StartUp", "StartUpBaselineEmptyWindow", 1.5},
    };
    std::printf("\n%-40s %12s %12s %8s %8s\n", "operation", "median ms", "baseline ms", "ratio",
                "target");
    for (const Row& row : rows) {
        const auto measured = medians.find(row.measured);
        const auto baseline = medians.find(row.baseline);
        if (measured == medians.end() || baseline == medians.end()) {
            continue;
        }
        const double ratio = measured->second / baseline->second;
        std::printf("%-40s %12.2f %12.2f %8.2f %7s%.1f%s\n", row.operation, measured->second,
                    baseline->second, ratio, "<=", row.target,
                    ratio <= row.target ? "" : "  MISSED");
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

int measurePeakOpen(const QString& path) {
    Fixture f;
    const long before = procStatusKiB("VmRSS:");
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    if (!reset.open(QIODevice::WriteOnly) || reset.write("5") != 1) {
        std::printf("peak memory: cannot reset the peak counter\n");
        return 1;
    }
    reset.close();
    f.dialogs.pushText(path);
    f.choose("mnuOpen");
    const long peak = procStatusKiB("VmHWM:");
    const double size = static_cast<double>(QFileInfo(path).size());
    const double grown = (peak - before) * 1024.0;
    const bool opened = f.dialogs.calls().size() == 1 && !f.text().text().isEmpty();
    std::printf("%-40s %12.1f MB %10.1f MB %8.2f %7s%.1f%s\n", "peak memory opening 50 MB",
                grown / kMiB, size / kMiB, grown / size, "<=", 5.0,
                !opened               ? "  OPEN FAILED"
                : grown / size <= 5.0 ? ""
                                      : "  MISSED");
    return opened ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--peak-open") {
        return measurePeakOpen(QString::fromLocal8Bit(argv[2]));
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
    return 0;
}
