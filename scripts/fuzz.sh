#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and runs each for a while (FUZZ_SECONDS,
# 60 by default), starting from the corpora in fuzz/corpus/. Fails on the first finding; the
# input that broke a target is left in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=${FUZZ_SECONDS:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
clang=$(command -v clang++ || command -v clang++-14 || true)
clangc=$(command -v clang || command -v clang-14 || true)
if [[ -z "$clang" || -z "$clangc" ]]; then
    echo "fuzz.sh: clang is missing (scripts/setup-deps.sh installs it)" >&2
    exit 1
fi

cmake -S fuzz -B "$build" -DCMAKE_C_COMPILER="$clangc" -DCMAKE_CXX_COMPILER="$clang" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${FUZZ_JOBS:-2}"

mkdir -p "$build/findings"
status=0
for target in values numbers connstring schema like; do
    # New inputs go to a scratch folder so the checked-in seeds stay small.
    work="$build/corpus/$target"
    mkdir -p "$work"
    echo "== fuzz_$target for ${seconds}s"
    if ! "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
        "$work" "fuzz/corpus/$target" 2>"$build/fuzz_$target.log"; then
        tail -n 40 "$build/fuzz_$target.log" >&2
        echo "fuzz.sh: fuzz_$target found a failure; see $build/findings/" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$build/fuzz_$target.log" || true
    fi
done
exit $status
