#!/usr/bin/env bash
# Holds every '#include "folder/..."' of the source folders against the layer table of
# docs/architecture.md (the fenced block marked "layers": each folder and the folders it
# may include besides itself, "*" for any). Prints each include that crosses a wall as
# FILE:LINE with the wall it crosses and exits 1; a folder with sources and no row in the
# table is an error too. Usage: check-layers.sh [TREE] (the tree this script is in by default).
set -euo pipefail

tree=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
table=$tree/docs/architecture.md

if [[ ! -f $table ]]; then
  echo "check-layers: no layer table: $table not found" >&2
  exit 2
fi

declare -A may
while IFS= read -r row; do
  row=${row%%#*}
  [[ $row =~ ^[[:space:]]*([a-z0-9_/]+):(.*)$ ]] || continue
  read -ra folders <<< "${BASH_REMATCH[2]}"
  may[${BASH_REMATCH[1]}]=" ${folders[*]} "
done < <(awk '/^```layers[[:space:]]*$/ {inside = 1; next} inside && /^```/ {exit} inside' "$table")

if (( ${#may[@]} == 0 )); then
  echo "check-layers: $table has no \`\`\`layers block" >&2
  exit 2
fi

failed=0
cd "$tree"
# A folder of the table is a top folder, or a folder below one ("records/store") when the
# table names it: its sources are its own files, not those of the folders below it that
# have rows of their own.
folders=()
for dir in */; do
  folder=${dir%/}
  [[ $folder == build* ]] && continue
  folders+=("$folder")
  for sub in "$folder"/*/; do
    [[ -d $sub && -n ${may[${sub%/}]+set} ]] && folders+=("${sub%/}")
  done
done
# The folder an include names: the longest folder of the table its path begins with.
target_of() {
  local path=$1 best=${1%%/*} key
  for key in "${!may[@]}"; do
    [[ $key == */* && $path == "$key"/* && ${#key} -gt ${#best} ]] && best=$key
  done
  echo "$best"
}
for folder in "${folders[@]}"; do
  prune=()
  for key in "${!may[@]}"; do
    [[ $key == "$folder"/* ]] && prune+=(-path "$key" -prune -o)
  done
  sources=$(find "$folder" "${prune[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
  [[ -z $sources ]] && continue
  if [[ -z ${may[$folder]+set} ]]; then
    echo "$folder/: has sources but no row in the layer table of docs/architecture.md"
    failed=1
    continue
  fi
  [[ ${may[$folder]} == " * " ]] && continue
  while IFS=: read -r file line text; do
    [[ $text =~ \#[[:space:]]*include[[:space:]]*\"(([a-z0-9_]+)/[^\"]*)\" ]] || continue
    included=${BASH_REMATCH[1]}
    target=$(target_of "$included")
    [[ $target == "$folder" ]] && continue
    [[ -n ${may[$target]+set} ]] || continue  # not a folder of the tree
    [[ ${may[$folder]} == *" $target "* ]] && continue
    read -ra allowed <<< "${may[$folder]}"
    echo "$file:$line: includes $included: $folder/ may not include $target/ (it may include: ${allowed[*]:-nothing of the tree})"
    failed=1
  done < <(grep -nH -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' $sources || true)
done

if (( failed )); then
  echo "check-layers: includes cross the walls of docs/architecture.md (see above)" >&2
  exit 1
fi
echo "check-layers: every include keeps to the layer table"
