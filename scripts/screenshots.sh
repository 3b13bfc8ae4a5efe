#!/usr/bin/env bash
# Builds the screenshots program and refreshes the README's pictures in docs/screenshots/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup-deps.sh
cmake -S . -B build
cmake --build build -j2 --target screenshots
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' build/tools/screenshots docs/screenshots
