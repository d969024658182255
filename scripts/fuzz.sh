#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (the fuzz preset) and runs each for a bounded time
# (seconds, default 60) from the committed seed corpus. New inputs go to a scratch folder, not
# the corpus.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
"$root/scripts/install-deps.sh"
export ONDREL_DEPS_CHECKED=1
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
targets=(cp932 replace_all perl_backslash)
echo "== fuzzing ${#targets[@]} targets for ${seconds}s each"
for target in "${targets[@]}"; do
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
