// Benchmarks of the operations a person waits for, each against a baseline measured in the
// same run. Prints Google Benchmark's own report, then a table of medians and ratios: the
// benchmarks (bench_operations.cpp), then peak memory (bench_memory.cpp) and start-up
// (bench_startup.cpp), each measured in processes of their own.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdio>

#include "bench_memory.h"
#include "bench_startup.h"
#include "bench_table.h"
#include "fixture.h"
#include "test_main.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The editor keeps recovery copies of modified documents: these go to a home of the run's
    // own (the processes started here inherit it), never the user's.
    ondrel::isolateEnvironment();
    QApplication app(argc, argv);
    if (const auto status = ondrel::bench::measurePeakMemoryIfAsked(argc, argv)) {
        return *status;
    }
    ondrel::QuietOffscreen quiet;
    benchmark::Initialize(&argc, argv);
    ondrel::bench::MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    ondrel::bench::printTable(reporter.medians);
    std::fflush(stdout);
    ondrel::bench::measurePeakMemory();
    ondrel::bench::measureStartUp();
    return 0;
}
