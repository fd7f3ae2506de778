#!/usr/bin/env bash
# scripts/check-layers.sh on small trees of its own, each with the real layer table: an
# upward include fails naming its file, line and wall; a downward one passes; a folder
# with no row fails.
# Usage: check-layers-cases.sh SOURCE_TREE
set -uo pipefail

source_tree=$1
check=$source_tree/scripts/check-layers.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/check-layers.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

# A tree with the layer table and one file per "PATH|LINE ..." argument (lines joined by |).
make_tree() {
  local tree=$work/$1; shift
  mkdir -p "$tree/docs"
  cp "$source_tree/docs/architecture.md" "$tree/docs/"
  for file in "$@"; do
    local path=${file%%=*} text=${file#*=}
    mkdir -p "$tree/$(dirname "$path")"
    printf '%s\n' "${text//|/$'\n'}" > "$tree/$path"
  done
  echo "$tree"
}

# expect NAME WANTED_EXIT TREE [TEXT THE OUTPUT MUST HOLD ...]
expect() {
  local name=$1 wanted=$2 tree=$3; shift 3
  local output status
  output=$(bash "$check" "$tree" 2>&1); status=$?
  local ok=1
  [[ $status == "$wanted" ]] || ok=0
  for text in "$@"; do [[ $output == *"$text"* ]] || ok=0; done
  if (( ok )); then
    echo "ok: $name"
  else
    echo "FAILED: $name (exit $status, wanted $wanted)"; echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

tree=$(make_tree upward \
  'link/Frame.h=#pragma once|#include <QByteArray>|#include "procedures/TestId.h"' \
  'procedures/TestId.h=#pragma once')
expect "link/ including procedures/ fails, naming file, line and wall" 1 "$tree" \
  'link/Frame.h:3: includes procedures/TestId.h' 'link/ may not include procedures/'

tree=$(make_tree downward \
  'link/Frame.h=#pragma once|#include "link/Checksum.h"' \
  'procedures/Polling.cpp=#include "procedures/Polling.h"|#include "link/Frame.h"|#include "i18n/Messages.h"' \
  'app/Window.cpp=#include "records/store/RecordStore.h"|#include "Version.h"' \
  'tests/test_x.cpp=#include "app/Window.h"|#include "sim/Sim.h"')
expect "includes downward, inside a folder and from tests pass" 0 "$tree"

tree=$(make_tree unknown 'gadgets/Gadget.cpp=#include "link/Frame.h"')
expect "a folder with sources and no row fails" 1 "$tree" 'gadgets/: has sources but no row'

tree=$(make_tree traffic-up 'traffic/TrafficFrame.cpp=#include "procedures/ReplyText.h"')
expect "traffic/ reads bytes through link/ only" 1 "$tree" \
  'traffic/TrafficFrame.cpp:1: includes procedures/ReplyText.h'

tree=$(make_tree nested \
  'records/store/RecordStore.h=#pragma once|#include "records/sync/Uploader.h"' \
  'records/sync/Uploader.h=#pragma once|#include "records/store/RecordStore.h"')
expect "a part of a folder keeps its own wall: records/store/ may not include records/sync/" 1 "$tree" \
  'records/store/RecordStore.h:2: includes records/sync/Uploader.h' 'records/store/ may not include records/sync/'

tree=$(make_tree nested-down \
  'records/sync/Uploader.h=#pragma once|#include "records/store/RecordStore.h"' \
  'records/store/RecordStore.h=#pragma once')
expect "a part may include the part below it" 0 "$tree"

tree=$work/no-table; mkdir -p "$tree/link"
expect "a tree without the table is an error, not a pass" 2 "$tree" 'no layer table'

(( failures == 0 ))
