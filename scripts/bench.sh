#!/usr/bin/env bash
# Builds an optimised Ondrel (the bench preset) and runs its benchmarks: Google Benchmark's
# report, then a table of each operation's median, its baseline's median from the same run,
# and their ratio.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/install-deps.sh"
cd "$root"
cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)"
"$root/build-bench/benchmarks/ondrel_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true "$@"
