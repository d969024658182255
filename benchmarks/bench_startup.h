#pragma once

namespace ondrel::bench {

// The start-up rows: the editor's start up to its splash (bench_splash) against a bare Qt
// window and one with a Japanese label (bench_bare_window), each a whole process, started
// from beside the benchmark program.
void measureStartUp();

}  // namespace ondrel::bench
