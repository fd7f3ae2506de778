#!/usr/bin/env bash
# Renders the window offscreen in English, Simplified and Traditional Chinese and saves
# docs/screenshots/window-en.png, window-zh-hans.png and window-zh-hant.png; the records
# window and the operator dialog likewise (records-window-*.png, operator-dialog-*.png), and
# the records window over the runs of a session with the simulated controller
# (records-window-runs.png); the test station with PASS and FAIL in each language
# (station.png for PASS in English, station-pass-*.png and station-fail-*.png); each
# drop-down menu of the window in each language (menu-*.png); the station for a fixture
# of 1, 4 and 16 sockets in each language (gang-N-LANG.png, gang-16-LANG-2x.png at twice
# the scale) and four sockets half way through an upgrade (gang-4-en-upgrading.png); the
# records window's charts page in each language (records-charts-*.png, -en-2x at 960x540).
# The same programs check that every caption fits its control.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PANELBENCH_BUILD_DIR:-build/default}
if [ ! -f "$build/CMakeCache.txt" ]; then
  bash scripts/install-deps.sh
  cmake --preset default
fi
cmake --build "$build" --target tests_window tests_records
mkdir -p docs/screenshots
shot() {
  local program=$1 filter=$2
  QT_QPA_PLATFORM=offscreen PANELBENCH_SCREENSHOT_DIR="$PWD/docs/screenshots" \
    "$build/tests/$program" --gtest_filter="$filter"
}
shot tests_window 'Screenshots.*'
shot tests_records 'RecordsWindowLanguages.CaptionsFit*'
shot tests_window 'WindowRecordsDone.*'
shot tests_window 'StationWindow.*FitsInEach*'
shot tests_window 'MenuCaptions.*'
shot tests_window 'GangShots.*'
shot tests_window 'GangStation.*Upgrade*'
shot tests_window 'ChartsLanguages.CaptionsFit*'
ls -l docs/screenshots/*.png
