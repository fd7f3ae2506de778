#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated controller on 127.0.0.1 and
# the window pointed at it. The window gets a settings folder of its own, so the
# user's settings are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default

build=build/default
demo=$(mktemp -d /tmp/panelbench-demo.XXXXXX)
"$build/sim/panelbench-sim" --tcp 0 --model "${PANELBENCH_SIM_MODEL:-kv410}" >"$demo/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do grep -q READY "$demo/sim.out" && break; sleep 0.05; done
port=$(sed -n 's/^TCP 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$demo/sim.out")
[ -n "$port" ] || { echo "the simulated controller did not start"; cat "$demo/sim.out"; exit 1; }
echo "Simulated controller on 127.0.0.1:$port"

mkdir -p "$demo/config/NORDAX"
printf '[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=%s\n' "$port" >"$demo/config/NORDAX/PanelBench.conf"
run_window=("$build/app/panelbench")
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  run_window=(xvfb-run -a "${run_window[@]}")
  echo "No display: the window runs under xvfb-run."
fi
XDG_CONFIG_HOME="$demo/config" "${run_window[@]}" "$@"
