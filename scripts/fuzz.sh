#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default
# 60) from the committed seed corpus. New inputs go to a scratch folder, not the corpus.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/install-deps.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DONDREL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build-fuzz" --target fuzz_cp932 fuzz_replace_all fuzz_assignment \
    fuzz_perl_backslash -j"$(nproc)"
for target in cp932 replace_all assignment perl_backslash; do
    work="$(mktemp -d)"
    echo "== fuzz_$target for ${seconds}s"
    status=0
    QT_QPA_PLATFORM=offscreen "$root/build-fuzz/tests/fuzz/fuzz_$target" \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/" "$work" \
        "$root/tests/fuzz/corpus/$target" >"$work/log" 2>&1 || status=$?
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|ERROR|SUMMARY" "$work/log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$work/log" >&2
        echo "fuzz_$target failed; the input that failed is in $work" >&2
        exit "$status"
    fi
    rm -rf "$work"
done
