#!/usr/bin/env bash
# Times a first start as a new user has it: a fresh clone, then scripts/run.sh, until the
# window is shown (on a virtual display when there is none). Then it stops the run with
# SIGINT, as Ctrl-C would, and checks that nothing of it is left in /tmp.
#   bench/first-start.sh [cold|empty|warm]
#     cold   nothing from the compiler cache (CCACHE_DISABLE=1)
#     empty  an empty compiler cache of its own, filled on the way (the default)
#     warm   the cache the last "empty" run filled, for a clone at the same path
# Packages must be installed already (scripts/install-deps.sh); the figure includes the
# clone, the configure step and the build.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-empty}
base=/tmp/panelbench-first-start
mkdir -p "$base"
rm -rf "$base/src" "$base/run.log"
case "$mode" in
  cold) export CCACHE_DISABLE=1 ;;
  empty) rm -rf "$base/ccache"; export CCACHE_DIR="$base/ccache" ;;
  warm) export CCACHE_DIR="$base/ccache" ;;
  *) echo "usage: bench/first-start.sh [cold|empty|warm]" >&2; exit 2 ;;
esac
unset QT_QPA_PLATFORM
export QT_LOGGING_RULES="panelbench.app.debug=true"
ls -d /tmp/panelbench-demo.* 2>/dev/null | sort >"$base/before" || true

start=$(date +%s%N)
git clone -q "$repo" "$base/src"
# GNU time ignores the SIGINT below and reports the CPU time of everything run.sh ran.
setsid /usr/bin/time -f '%U %S' -o "$base/cpu" bash "$base/src/scripts/run.sh" >"$base/run.log" 2>&1 </dev/null &
runner=$!
until grep -q "window shown" "$base/run.log"; do
  kill -0 "$runner" 2>/dev/null || { cat "$base/run.log"; echo "run.sh ended before the window was shown"; exit 1; }
  sleep 0.2
done
ms=$(( ($(date +%s%N) - start) / 1000000 ))
sleep 1
kill -INT -- "-$runner"
wait "$runner" || true

echo "first start ($mode): window shown $((ms / 1000)).$((ms % 1000 / 100)) s after the clone began"
read -r user sys <"$base/cpu"
echo "build steps: $(grep -c '^\[[0-9]*/[0-9]*\]' "$base/run.log"); CPU time of the whole run: user $user s, system $sys s"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
ls -d /tmp/panelbench-demo.* 2>/dev/null | sort >"$base/after" || true
if ! cmp -s "$base/before" "$base/after"; then echo "left behind: $(comm -13 "$base/before" "$base/after")"; fi
# Lines that are neither build progress nor the run's own notes: warnings a user would see.
grep -v -e '^\[[0-9]*/[0-9]*\]' -e '^panelbench.app:' -e '^Configuring' -e '^Building' \
  -e '^Simulated controller' -e '^No display' "$base/run.log" || true
