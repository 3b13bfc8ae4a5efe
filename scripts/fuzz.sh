#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and runs each for a while (FUZZ_SECONDS,
# 60 by default), starting from the corpora in fuzz/corpus/. Fails on the first finding (but see
# the Access reader below); the input that broke a target is left in build-fuzz/findings/.
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
for target in values numbers fieldvalue connstring schema like access; do
    # New inputs go to a scratch folder so the checked-in seeds stay small.
    work="$build/corpus/$target"
    mkdir -p "$work"
    limits=(-timeout=10 -rss_limit_mb=2048)
    if [[ $target == access ]]; then
        # The Access reader runs libmdb, C code of another project, which crashes, loops and
        # allocates without end on some damaged files: the program survives that because it runs
        # the reader in a process of its own with limits of memory and time. So this target runs
        # forked, with the reader's memory limit, and goes on after a finding; the inputs are kept
        # in the findings folder, and only a crash whose first frame of ours or libmdb's is ours
        # fails the run (checked below): the bugs of libmdb are not ours to fix. Nor its leaks.
        limits=(-timeout=5 -rss_limit_mb=512 -malloc_limit_mb=512 -detect_leaks=0 -fork=1
            -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    fi
    echo "== fuzz_$target for ${seconds}s"
    if ! "$build/fuzz_$target" -max_total_time="$seconds" "${limits[@]}" \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
        "$work" "fuzz/corpus/$target" 2>"$build/fuzz_$target.log"; then
        tail -n 40 "$build/fuzz_$target.log" >&2
        echo "fuzz.sh: fuzz_$target found a failure; see $build/findings/" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units' "$build/fuzz_$target.log" || true
    fi
done

shopt -s nullglob
libmdb=0
for crash in "$build"/findings/access-crash-*; do
    where=$("$build/fuzz_access" -detect_leaks=0 -timeout=5 -rss_limit_mb=512 "$crash" 2>&1 |
        grep -m1 -oE 'libmdb\.so|/src/accessreader/|fuzz_access(\.cpp|\+0x)' || true)
    if [[ $where == libmdb.so ]]; then
        libmdb=$((libmdb + 1))
    elif [[ -n $where ]]; then
        echo "fuzz.sh: fuzz_access crashed in our code on $crash" >&2
        status=1
    else
        echo "fuzz.sh: fuzz_access did not crash again on $crash" >&2
    fi
done
endless=("$build"/findings/access-{timeout,oom}-*)
echo "fuzz_access: $libmdb crashes inside libmdb and ${#endless[@]} inputs on which it loops or" \
    "allocates without end (not failures: see above)"
exit $status
