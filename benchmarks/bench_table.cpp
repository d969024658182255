#include "bench_table.h"

#include <cstdio>

namespace ondrel::bench {

namespace {

// The table's ratio rows, in the order printed: the operation, the median measured, the median
// of its baseline (a benchmark's name with its arguments, or "name:counter") and the target
// ratio. A new row is one line here.
struct RatioRow {
    const char* operation;
    const char* measured;
    const char* baseline;
    double target;
};
const RatioRow kRatioRows[] = {
    {"open 5 MB vs decode+SETTEXT", "Open/5", "OpenBaselineDecodeSetText/5", 1.3},
    {"open 50 MB vs decode+SETTEXT", "Open/50", "OpenBaselineDecodeSetText/50", 0.6},
    {"open 5 MB vs QPlainTextEdit", "Open/5", "OpenPeerPlainTextEdit/5", 0.3},
    {"open 50 MB vs QPlainTextEdit", "Open/50", "OpenPeerPlainTextEdit/50", 0.3},
    {"save 5 MB vs plain write", "Save/5", "SaveBaselinePlainWrite/5", 1.3},
    {"save 50 MB vs encode+write", "Save/50", "SaveBaselinePlainWrite/50", 1.0},
    {"replace all 50 MB vs QString::replace", "ReplaceAll/50:command_ms",
     "ReplaceAll/50:baseline_ms", 0.3},
    {"insert block, start of 5 MB vs 5 KB", "InsertBlock/5120/0", "InsertBlock/5/0", 4.0},
    {"insert block, middle of 5 MB vs 5 KB", "InsertBlock/5120/50", "InsertBlock/5/50", 4.0},
    {"insert block, end of 5 MB vs 5 KB", "InsertBlock/5120/100", "InsertBlock/5/100", 4.0},
    {"type at end of 50 MB vs 5 KB (marks off)", "TypeAtEnd:50MB_off", "TypeAtEnd:5KB_off", 1.2},
    {"type at end of 50 MB vs 5 KB (marks on)", "TypeAtEnd:50MB_on", "TypeAtEnd:5KB_on", 1.2},
    {"type at end of 50 MB, marks on vs off", "TypeAtEnd:50MB_on", "TypeAtEnd:50MB_off", 1.2},
    {"type at end of 50 MB, recovery on vs off", "TypeAtEndRecovery:on", "TypeAtEndRecovery:off",
     1.2},
    {"key on a line at the limit vs short lines", "KeyOnLongLine:limit_ms",
     "KeyOnLongLine:short_ms", 0},
    {"key in a 20 MB line vs short lines", "KeyOnLongLine:20MB_ms", "KeyOnLongLine:short_ms", 0},
    {"key in a page of at-limit lines vs short", "KeyOnLongLine:page_at_limit_ms",
     "KeyOnLongLine:short_ms", 0},
    {"page up onto at-limit lines vs short", "KeyOnLongLine:page_up_at_limit_ms",
     "KeyOnLongLine:short_ms", 0},
};

}  // namespace

void MedianCollector::ReportRuns(const std::vector<Run>& runs) {
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
    std::printf("\n%-40s %12s %12s %8s %8s\n", "operation", "median ms", "baseline ms", "ratio",
                "target");
    for (const RatioRow& row : kRatioRows) {
        const auto measured = medians.find(row.measured);
        const auto baseline = medians.find(row.baseline);
        if (measured == medians.end() || baseline == medians.end()) {
            continue;
        }
        printRow(row.operation, measured->second, baseline->second, row.target, "");
    }
    // An absolute limit, not a ratio: the window must answer within one frame at 60 Hz.
    for (const auto& [key, what] :
         {std::pair{"MarkWholeText/50:longest_pause_ms", "marking 50 MB"},
          std::pair{"CopyPause:longest_pause_ms", "copying 50 MB for recovery"}}) {
        const auto pause = medians.find(key);
        if (pause != medians.end()) {
            std::printf("longest pause %s: %.2f ms (limit one frame, 16 ms)%s\n", what,
                        pause->second, pause->second <= 16.0 ? "" : "  MISSED");
        }
    }
    // Absolute too: a key must answer within 50 ms on whatever line it is typed.
    for (const char* key :
         {"KeyOnLongLine:limit_ms", "KeyOnLongLine:20MB_ms", "KeyOnLongLine:page_at_limit_ms",
          "KeyOnLongLine:page_up_at_limit_ms"}) {
        const auto ms = medians.find(key);
        if (ms != medians.end()) {
            printRow(key, ms->second, 50.0, 1.0, "");
        }
    }
}

}  // namespace ondrel::bench
