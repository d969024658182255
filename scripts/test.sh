#!/usr/bin/env bash
# Installs what is missing, then builds and runs every check: the libFuzzer targets for a
# bounded time (FUZZ_SECONDS each, 60 by default), the unit tests built with AddressSanitizer
# and UndefinedBehaviorSanitizer (leaks reported), and last the whole suite in the ordinary
# build: the end-to-end run under a virtual X display, the install and package tests and the
# layer check included.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/install-deps.sh"
export ONDREL_DEPS_CHECKED=1
cd "$root"

echo "== 1/3 fuzzing (${FUZZ_SECONDS:-60}s per target; set FUZZ_SECONDS to change)"
"$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"

echo "== 2/3 unit tests with AddressSanitizer and UndefinedBehaviorSanitizer (asan preset)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan

echo "== 3/3 all tests (default preset)"
cmake --preset default >/dev/null
cmake --build --preset default -j"$jobs"
ctest --preset default
