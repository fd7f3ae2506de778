#!/usr/bin/env bash
# Builds everything with AddressSanitizer (leak detection on) and UndefinedBehaviorSanitizer
# and runs every test under them, the short fuzz passes included. Any sanitizer report
# fails its test. The sanitizer options are in the "asan" test preset of CMakePresets.json;
# third-party leak suppressions in tests/sanitizers/lsan.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset asan
cmake --build --preset asan
trap 'bash scripts/pg-cluster.sh stop "$(cat build/asan/pg-cluster-dir.txt)" || true' EXIT
# Eight at once, as scripts/test.sh: even under the sanitizers the tests mostly wait.
ctest --preset asan -j8
