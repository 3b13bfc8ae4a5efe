#!/usr/bin/env bash
# Builds Ledgerloom with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and
# runs every test there, except the package check, which is about the release package.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup-deps.sh
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEDGERLOOM_SANITIZE=ON \
    -DLEDGERLOOM_BENCHMARKS=OFF
cmake --build build-asan -j2
# Leaks are reported too; tests/lsan.supp silences those inside the system's libraries only.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The crash trials already ran in full in the plain build; fewer kills keep this run short.
export LEDGERLOOM_CRASH_TRIALS=${LEDGERLOOM_CRASH_TRIALS:-4}
# ... and sanitized operations take a few times as long: the kills wait as much longer.
export LEDGERLOOM_CRASH_PACE=${LEDGERLOOM_CRASH_PACE:-3}
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure --no-tests=error -j2 \
    --label-exclude package
