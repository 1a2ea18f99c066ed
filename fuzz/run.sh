#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz and runs each for FUZZ_SECONDS (default 60).
# The committed seeds in fuzz/corpus/<target> are copied into build-fuzz/corpus/<target>,
# where the runs grow them; crashes land in build-fuzz/crashes/<target>/.
# Usage: fuzz/run.sh [target...]   (targets: profile integer registry macros winpath metafile)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${FUZZ_SECONDS:-60}
jobs=${FUZZ_JOBS:-2}
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(profile integer registry macros winpath metafile)

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j "$jobs"

# fontconfig keeps its cache for the life of the process (the metafile target's text loads it).
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

status=0
for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    crashes="$build/crashes/$t"
    mkdir -p "$corpus" "$crashes"
    cp -n "$root/fuzz/corpus/$t/"* "$corpus/" 2>/dev/null || true
    dict=()
    [ -f "$root/fuzz/$t.dict" ] && dict=(-dict="$root/fuzz/$t.dict")
    echo "== fuzz_$t for ${seconds}s"
    if ! (cd "$crashes" && "$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
            -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 "${dict[@]}" "$corpus" \
            > "$build/fuzz_$t.log" 2>&1); then
        echo "fuzz_$t found a failing input: see $build/fuzz_$t.log and $crashes/"
        tail -n 30 "$build/fuzz_$t.log"
        status=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz_$t.log" || true
    fi
done
exit $status
