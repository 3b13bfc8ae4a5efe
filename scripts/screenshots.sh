#!/usr/bin/env bash
# Builds the screenshots program and refreshes the README's pictures in docs/screenshots/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/setup-deps.sh
cmake -S . -B build
cmake --build build -j2 --target screenshots
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.qpa.*=false' build/tools/screenshots docs/screenshots
# The table view's list as printed: its first page, as a picture.
pdftoppm -png -r 70 -f 1 -l 1 -singlefile docs/screenshots/table-view.pdf docs/screenshots/printed-list
rm docs/screenshots/table-view.pdf
