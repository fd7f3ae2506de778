#!/usr/bin/env bash
# Pictures of the whole window on a 1280x1024 X screen at scale factors 1, 1.5 and 2, in
# the three languages: the window must sit wholly on the screen at each.
# Usage: scripts/screen-fit-shots.sh [program] [output folder]
set -euo pipefail
program=${1:-build/ci/app/panelbench}
out=${2:-build/screen-fit}
mkdir -p "$out"
for language in English ChineseGB ChineseBIG5; do
  for scale in 1 1.5 2; do
    # Settings of its own, never the user's.
    config=$(mktemp -d)
    mkdir -p "$config/NORDAX"
    printf '[General]\nLanguageFlag=%s\n' "$language" > "$config/NORDAX/PanelBench.conf"
    XDG_CONFIG_HOME=$config QT_SCALE_FACTOR=$scale \
      xvfb-run -a -s "-screen 0 1280x1024x24" \
      sh -c "\"$program\" & pid=\$!; sleep 3; import -window root \"$out/screen-$language-$scale.png\"; kill \$pid" \
      || true
    rm -rf "$config"
  done
done
ls "$out"
