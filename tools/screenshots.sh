#!/usr/bin/env bash
# Remakes the README's screenshot of the exam window under Xvfb, from the dev build:
#   tools/screenshots.sh            writes docs/exam-window.png
# Every other window's screenshot lands in a temporary folder that is printed at the end.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."

[ -f build/dev/CMakeCache.txt ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target tst_screenshots >/dev/null
shots=$(mktemp -d /tmp/kokugo-mogi-shots.XXXXXX)
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96 -nolisten tcp" \
    env QT_QPA_PLATFORM=xcb KOKUGO_SCREENSHOT_DIR="$shots" build/dev/bin/tst_screenshots >/dev/null
mkdir -p docs
cp "$shots/exam-window-scored.png" docs/exam-window.png
echo "docs/exam-window.png updated; all screenshots are in $shots"
