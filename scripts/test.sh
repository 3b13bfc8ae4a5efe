#!/usr/bin/env bash
# Builds Ledgerloom into build/ and runs every test, the package check included; the exit
# status is ctest's.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup-deps.sh
cmake -S . -B build
cmake --build build -j2
# The tests make real widgets; offscreen needs no display.
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --no-tests=error -j2
