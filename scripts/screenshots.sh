#!/usr/bin/env bash
# Renders the window offscreen in English, Simplified and Traditional Chinese and saves
# docs/screenshots/window-en.png, window-zh-hans.png and window-zh-hant.png. The same
# program checks that every caption fits its control.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PANELBENCH_BUILD_DIR:-build/default}
if [ ! -f "$build/CMakeCache.txt" ]; then
  bash scripts/install-deps.sh
  cmake --preset default
fi
cmake --build "$build" --target test_window_screenshots
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen PANELBENCH_SCREENSHOT_DIR="$PWD/docs/screenshots" \
  "$build/tests/test_window_screenshots"
ls -l docs/screenshots/window-*.png
