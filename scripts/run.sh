#!/usr/bin/env bash
# Installs what is missing, builds the window and the simulated controller only, starts
# the simulated controller on 127.0.0.1 and the window pointed at it. The window keeps
# its settings in a file of this run (--settings), so the user's own are never touched;
# everything of the run is removed when the window closes, also after Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh window

# The tree and flags of scripts/test.sh: the tests later reuse what is built here.
build=build/ci
echo "Configuring ($build)..."
cmake --preset ci >/dev/null
echo "Building panelbench and panelbench-sim..."
cmake --build "$build" --target panelbench panelbench-sim

demo=$(mktemp -d "${TMPDIR:-/tmp}/panelbench-demo.XXXXXX")
window=""
sim=""
xvfb=""
cleanup() {
  for pid in $window $sim $xvfb; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$demo"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$build/sim/panelbench-sim" --tcp 0 --model "${PANELBENCH_SIM_MODEL:-kv410}" \
  </dev/null >"$demo/sim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q READY "$demo/sim.out" 2>/dev/null && break; sleep 0.05; done
port=$(sed -n 's/^TCP 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$demo/sim.out")
[ -n "$port" ] || { echo "the simulated controller did not start"; cat "$demo/sim.out"; exit 1; }
echo "Simulated controller on 127.0.0.1:$port"

printf '[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=%s\n' "$port" >"$demo/panelbench.conf"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # A virtual display of this run's own, in a session of its own so that Ctrl-C does not
  # reach it: it outlives the window, which then closes cleanly; the clean-up ends it.
  setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$demo/display" 2>"$demo/xvfb.log" &
  xvfb=$!
  for _ in $(seq 200); do [ -s "$demo/display" ] && break; sleep 0.05; done
  [ -s "$demo/display" ] || { echo "Xvfb did not start"; cat "$demo/xvfb.log"; exit 1; }
  export DISPLAY=":$(cat "$demo/display")"
  echo "No display: the window runs on a virtual one ($DISPLAY)."
fi
# In the background and waited for, so that a signal to this script is acted on at once;
# the window ends on SIGINT (Ctrl-C reaches it too) and SIGTERM by closing itself.
"$build/app/panelbench" --settings "$demo/panelbench.conf" "$@" &
window=$!
status=0
wait "$window" || status=$?
window=""
exit "$status"
