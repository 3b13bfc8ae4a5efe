#!/usr/bin/env bash
# Builds Ledgerloom (Release) into build/ and starts it; arguments go to the program.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2
exec build/ledgerloom "$@"
