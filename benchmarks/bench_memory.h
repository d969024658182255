#pragma once

#include <optional>

namespace ondrel::bench {

// The peak-memory rows, each measured in a fresh process of the benchmark program (so nothing
// the benchmarks allocated counts towards it), which prints its own row of the table.
void measurePeakMemory();

// In such a process: when the arguments name a measurement, takes it and returns the
// process's exit status; otherwise nothing.
std::optional<int> measurePeakMemoryIfAsked(int argc, char** argv);

}  // namespace ondrel::bench
