#!/usr/bin/env bash
# CI's check of the package: validates the desktop entry and the AppStream metainfo,
# builds the .deb (scripts/package.sh, lintian included), installs it with apt-get, runs
# the installed programs from /usr/bin (the window offscreen, linked to the installed
# simulated controller on 127.0.0.1), then removes the package and checks that nothing of
# it is left. It installs into the system: run it as root or with sudo at hand.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

fail() { echo "check-package: $*" >&2; exit 1; }

bash scripts/install-deps.sh package
desktop-file-validate packaging/com.nordax.PanelBench.desktop
bash scripts/package.sh
deb=$(ls build/package/panelbench_*.deb)
appstreamcli validate --no-net build/package/packaging/com.nordax.PanelBench.metainfo.xml
version=$(dpkg-deb -f "$deb" Version)
version=${version%-*}

work=$(mktemp -d "${TMPDIR:-/tmp}/panelbench-check.XXXXXX")
sim=""
installed=""
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; fi
  if [ -n "$installed" ] && dpkg-query -W panelbench >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq panelbench >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "== install $deb"
installed=yes
# Without the recommended extras, so that the removal leaves the machine as it was.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "./$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install failed"; }
dpkg-query -L panelbench | sort >"$work/files"
grep -q '^/usr/share/applications/com.nordax.PanelBench.desktop$' "$work/files" || fail "no desktop entry"

echo "== programs in /usr/bin"
[ "$(/usr/bin/panelbench --version)" = "panelbench $version" ] || fail "panelbench --version"
/usr/bin/panelbench-sim --help >/dev/null || fail "panelbench-sim --help"
[ "$(/usr/bin/panelbench-sim --version)" = "panelbench-sim $version" ] || fail "panelbench-sim --version"
[ "$(/usr/bin/panelbench-cli --version)" = "panelbench-cli $version" ] || fail "panelbench-cli --version"
/usr/bin/panelbench-cli --help >/dev/null || fail "panelbench-cli --help"
status=0
/usr/bin/panelbench --no-such-option 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a usage error exits $status, not 2"
for page in panelbench panelbench-sim panelbench-cli; do
  grep -qx "/usr/share/man/man1/$page.1.gz" "$work/files" || fail "no man page for $page"
done

echo "== the desktop menu's entry and icon"
desktop-file-validate /usr/share/applications/com.nordax.PanelBench.desktop
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/com.nordax.PanelBench.desktop)
command -v "${exec_line%% *}" >/dev/null || fail "the menu entry runs '$exec_line', which is not there"
icon=$(sed -n 's/^Icon=//p' /usr/share/applications/com.nordax.PanelBench.desktop)
[ -f "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon"
appstreamcli validate --no-net /usr/share/metainfo/com.nordax.PanelBench.metainfo.xml >/dev/null

echo "== the installed window, offscreen, against the installed simulated controller"
/usr/bin/panelbench-sim --tcp 0 --quiet </dev/null >"$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q READY "$work/sim.out" && break; sleep 0.05; done
port=$(sed -n 's/^TCP 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || { cat "$work/sim.out"; fail "the simulated controller did not start"; }
printf '[General]\nTYPE=1\nNetIP=127.0.0.1\nNetPort=%s\n' "$port" >"$work/panelbench.conf"
# As CI and many shells have it: no XDG_RUNTIME_DIR, no display, no sound device.
mkdir "$work/tmp"
env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen TMPDIR="$work/tmp" \
  /usr/bin/panelbench --settings "$work/panelbench.conf" >"$work/window.out" 2>&1 &
window=$!
sleep 3
kill -0 "$window" 2>/dev/null || { cat "$work/window.out"; fail "the window ended by itself"; }
kill -TERM "$window"
status=0
wait "$window" || status=$?
[ "$status" -eq 0 ] || fail "the window ended with $status after SIGTERM"
if [ -s "$work/window.out" ]; then cat "$work/window.out"; fail "the window printed the above"; fi
[ -z "$(ls -A "$work/tmp")" ] || fail "left in its TMPDIR: $(ls -A "$work/tmp")"
echo "window ran 3 s, quiet, and ended on SIGTERM"

echo "== the installed command-line tool against the same simulated controller"
# Its records in a folder of the check's own, with no display.
env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME="$work/data" \
  /usr/bin/panelbench-cli identify --tcp "127.0.0.1:$port" --operator check >"$work/cli.out" 2>&1 ||
  { cat "$work/cli.out"; fail "panelbench-cli identify failed"; }
XDG_DATA_HOME="$work/data" /usr/bin/panelbench-cli records list --json | grep -q '"operator":"check"' ||
  fail "panelbench-cli kept no record of its run"

echo "== remove"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq panelbench >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get purge failed"; }
installed=""
dpkg-query -W panelbench >/dev/null 2>&1 && fail "still known to dpkg"
left=$(while read -r f; do if [ -f "$f" ]; then echo "$f"; fi; done <"$work/files")
[ -z "$left" ] || fail "left after removal: $left"
echo "check-package: the package validates, installs, runs and removes cleanly"
