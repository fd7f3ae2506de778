#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs every test.
# The build tree (build/ci) is the one scripts/run.sh uses: what it built is not built again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j2
