#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace ondrel::bench {

// Google Benchmark's console report, and the medians of the repetitions kept for the closing
// table, by name ("Open/50") and by name and counter ("TypeAtEnd:50MB_on").
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    std::map<std::string, double> medians;
};

// One line of the table: the measured value, its baseline, their ratio and, when target is
// above 0, the target and whether it was missed (a target of 0 shows a row for what it
// explains). unit follows both values.
void printRow(const char* operation, double measured, double baseline, double target,
              const char* unit);

// The table's heading and its ratio rows, each from two medians of the run; a row whose
// benchmarks did not run (a filter) is left out.
void printTable(const std::map<std::string, double>& medians);

}  // namespace ondrel::bench
