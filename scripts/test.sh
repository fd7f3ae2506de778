#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test.
# The build tree (build/ci) is the one scripts/run.sh uses: what it built is not built again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci
# ctest starts the shared records' throwaway PostgreSQL cluster (the pg_cluster fixture)
# and removes it; should ctest itself be stopped, it is removed here all the same. A
# cluster that does not start fails the run.
# The live events' broker (the mqtt_broker fixture, scripts/mqtt-broker.sh) likewise.
trap 'bash scripts/pg-cluster.sh stop "$(cat build/ci/pg-cluster-dir.txt)" || true
      bash scripts/mqtt-broker.sh stop "$(cat build/ci/mqtt-broker-dir.txt)" || true' EXIT
# Eight at once on two cores: the tests spend most of their time waiting on the simulated
# controller's pauses, not computing (docs/performance.md); the timing tests run alone.
ctest --preset ci -j8
