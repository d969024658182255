#!/usr/bin/env bash
# Installs what is missing, then builds and runs every check: the libFuzzer targets for a
# bounded time (FUZZ_SECONDS each, 60 by default), the unit tests built with AddressSanitizer
# and UndefinedBehaviorSanitizer (leaks reported), and last the whole suite in the ordinary
# build, the end-to-end run under a virtual X display included.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/install-deps.sh"

"$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"

echo "== unit tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DONDREL_SANITIZE=ON \
    -DONDREL_BENCHMARKS=OFF >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
(
    cd "$root/build-asan"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS="suppressions=$root/tests/lsan.supp" \
        ctest --output-on-failure -LE "e2e|large|install"
)

echo "== all tests"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$jobs"
cd "$root/build"
ctest --output-on-failure
