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
  [[ $row =~ ^[[:space:]]*([a-z0-9_]+):(.*)$ ]] || continue
  read -ra folders <<< "${BASH_REMATCH[2]}"
  may[${BASH_REMATCH[1]}]=" ${folders[*]} "
done < <(awk '/^```layers[[:space:]]*$/ {inside = 1; next} inside && /^```/ {exit} inside' "$table")

if (( ${#may[@]} == 0 )); then
  echo "check-layers: $table has no \`\`\`layers block" >&2
  exit 2
fi

failed=0
cd "$tree"
for dir in */; do
  folder=${dir%/}
  [[ $folder == build* ]] && continue
  sources=$(find "$folder" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
  [[ -z $sources ]] && continue
  if [[ -z ${may[$folder]+set} ]]; then
    echo "$folder/: has sources but no row in the layer table of docs/architecture.md"
    failed=1
    continue
  fi
  [[ ${may[$folder]} == " * " ]] && continue
  while IFS=: read -r file line text; do
    [[ $text =~ \#[[:space:]]*include[[:space:]]*\"(([a-z0-9_]+)/[^\"]*)\" ]] || continue
    included=${BASH_REMATCH[1]} target=${BASH_REMATCH[2]}
    [[ $target == "$folder" ]] && continue
    [[ -n ${may[$target]+set} ]] || continue  # not a folder of the tree
    [[ ${may[$folder]} == *" $target "* ]] && continue
    read -ra folders <<< "${may[$folder]}"
    echo "$file:$line: includes $included: $folder/ may not include $target/ (it may include: ${folders[*]:-nothing of the tree})"
    failed=1
  done < <(grep -nH -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' $sources || true)
done

if (( failed )); then
  echo "check-layers: includes cross the walls of docs/architecture.md (see above)" >&2
  exit 1
fi
echo "check-layers: every include keeps to the layer table"
