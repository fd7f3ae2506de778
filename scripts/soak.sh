#!/usr/bin/env bash
# The long soak: builds the soak test and runs the DI/DO loop against the simulated
# controller over TCP and over a pseudo-terminal at the same time, 20 minutes each
# unless a number of seconds is given, then prints the figures of both.
#
#   scripts/soak.sh [seconds, default 1200]
#
# Each transport then starts and stops the loop SOAK_STARTS times (default 300).
# SOAK_BUILD_DIR chooses the build folder (default build/soak). The exit status is not
# zero if either loop failed a transaction or grew in memory, descriptors or objects.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1200}
build=${SOAK_BUILD_DIR:-build/soak}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target tests_firmware -j2

test_program="$build/tests/tests_firmware"
status=0
pids=()
for wire in Tcp Pty; do
  log="$build/soak-$wire.log"
  echo "soak over $wire for $seconds s, log in $log"
  PANELBENCH_SOAK_SECONDS=$seconds PANELBENCH_SOAK_STARTS=${SOAK_STARTS:-300} QT_QPA_PLATFORM=offscreen "$test_program" \
    --gtest_filter="Wires/ReliabilitySoak.*/$wire" >"$log" 2>&1 &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

for wire in Tcp Pty; do
  log="$build/soak-$wire.log"
  grep -E '^soak |Failure|^\[  (PASSED|FAILED)' "$log" || true
done
[ "$status" -eq 0 ] && echo "soak: no failure, no growth" || echo "soak: FAILED (see the logs)"
exit "$status"
