#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# each for a bounded time or number of inputs, then prints the executions per target.
#   scripts/fuzz.sh                 60 seconds per target
#   scripts/fuzz.sh 600             600 seconds per target
#   scripts/fuzz.sh --runs 1000000  one million inputs per target
#   scripts/fuzz.sh --runs 1000000 fuzz_speed_text fuzz_reply_assembly   only these targets
# New corpus entries go to build/fuzz/corpus/<target>/ (the seeds in tests/fuzz/corpus/ are
# only read); crashes, timeouts and leaks to build/fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=60)
if [ "${1:-}" = "--runs" ]; then
  limit=(-runs="${2:?--runs needs a count}")
  shift 2
elif [ -n "${1:-}" ] && [ "${1#-}" = "$1" ] && [ "${1#fuzz_}" = "$1" ]; then
  limit=(-max_total_time="$1")
  shift
fi

# target -> longest input: a reply buffer and some, a firmware image of the largest block
# limit (984 x 64 bytes + header), a settings file, a speed text, a recipe, a units file,
# a server URL, a stream of traffic records, a records file of a few runs, a blob of
# counted times.
declare -A max_len=([fuzz_reply_assembly]=4096 [fuzz_firmware_file]=65536
                    [fuzz_settings_ini]=2048 [fuzz_speed_text]=256
                    [fuzz_recipe_loader]=8192 [fuzz_units_file]=2048
                    [fuzz_server_address]=512 [fuzz_traffic_decoder]=4096
                    [fuzz_records_import]=131072 [fuzz_time_counts]=2048)
# The settings reader hands "@Variant(...)" values to Qt's stream decoder, which may ask for
# a buffer of many gigabytes from a few bytes of file. The real allocator refuses and Qt
# copes; let the sanitizer's allocator refuse likewise (allocator_may_return_null below)
# instead of stopping on the request.
declare -A extra=([fuzz_settings_ini]="-malloc_limit_mb=1048576")
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_reply_assembly fuzz_firmware_file fuzz_settings_ini fuzz_speed_text
                                     fuzz_recipe_loader fuzz_units_file fuzz_server_address
                                     fuzz_traffic_decoder fuzz_records_import fuzz_time_counts)

bash scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
mkdir -p "$out/crashes" "$out/logs"
# The firmware, settings and records targets write a file per input: keep that off the disk, in a
# folder of this run (libFuzzer ends without the targets' clean-up).
TMPDIR=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/panelbench-fuzz.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
# Two frames of each allocation's stack, not thirty: the fast unwinder walks on through Qt's
# frames, which keep no frame pointer, and brings back stacks of stray words; each is new to
# the sanitizer's stack store, which grows by hundreds of megabytes and slows every allocation
# (a text target fell from 1,300 to 80 inputs a second within 40 minutes). What is found is
# the same; a report's allocation stack is short, and replaying the saved input alone
# (ASAN_OPTIONS unset) gives the whole one.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:allocator_may_return_null=1:malloc_context_size=2"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
summary=()
for t in "${targets[@]}"; do
  mkdir -p "$out/corpus/$t"
  log="$out/logs/$t.log"
  echo "== $t (${limit[*]}, max_len ${max_len[$t]})"
  start=$(date +%s%N)
  status=0
  "$out/tests/fuzz/$t" "${limit[@]}" -max_len="${max_len[$t]}" -timeout=10 -rss_limit_mb=2048 ${extra[$t]:-} \
    -print_final_stats=1 -artifact_prefix="$out/crashes/$t-" \
    "$out/corpus/$t" "tests/fuzz/corpus/$t" >"$log" 2>&1 || status=$?
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate="?"
  [ -n "$runs" ] && [ "$ms" -gt 0 ] && rate=$(( runs * 1000 / ms ))
  if [ "$status" -ne 0 ]; then
    failed=1
    tail -40 "$log"
    summary+=("$(printf '%-22s FAILED (exit %s) after %s runs; see %s and %s/crashes/' "$t" "$status" "${runs:-?}" "$log" "$out")")
  else
    summary+=("$(printf '%-22s %10s runs  %6d.%01d s  %8s exec/s  corpus %s files' "$t" "${runs:-?}" $((ms / 1000)) $((ms % 1000 / 100)) "$rate" "$(ls "$out/corpus/$t" | wc -l)")")
  fi
done
echo
printf '%s\n' "${summary[@]}"
exit "$failed"
