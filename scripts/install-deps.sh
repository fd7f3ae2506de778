#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing, after saying which, without asking
# (it runs unattended in CI too).
#   scripts/install-deps.sh           what the build, the window and the tests need
#   scripts/install-deps.sh package   and what building and checking the .deb needs
#   scripts/install-deps.sh window    only what scripts/run.sh needs to configure the
#                                     tree, build the window and the simulated controller
#                                     and show the window (a first start skips the rest)
set -euo pipefail
packages=(build-essential cmake ninja-build ccache pkg-config libgtest-dev
          # Release signatures: Ed25519 in the minisign format.
          libsodium-dev
          qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev qt6-charts-dev qt6-svg-dev
          libgl1-mesa-dev libxkbcommon-dev xvfb xauth fonts-wqy-microhei
          # lld links the ~100 test and benchmark programs in a third of GNU ld's time.
          lld
          # The unit records: Qt's SQLite driver.
          libqt6sql6-sqlite
          # The live events: the MQTT client library.
          libmosquitto-dev)
if [ "${1:-}" != "window" ]; then
  packages+=(clang libclang-rt-14-dev
          # The tests read the records' exports back with Python.
          python3 python3-jsonschema
          # The tests check that signatures of the minisign program verify, and ours in it.
          minisign
          # The shared records: Qt's PostgreSQL driver, and a server for the tests'
          # throwaway cluster (scripts/pg-cluster.sh).
          libqt6sql6-psql postgresql
          # A broker for the live events' tests (scripts/mqtt-broker.sh).
          mosquitto
          # A CJK-only fallback font, as many desktops have: the window's font choice
          # must not pick it for captions that mix in Latin letters and digits.
          fonts-droid-fallback
          # "import" captures an X screen: the window under xvfb at several scale factors.
          imagemagick)
fi
if [ "${1:-}" = "package" ]; then
  # dpkg-shlibdeps and fakeroot for CPack's .deb, file for stripping, lintian, and the
  # validators of the desktop entry and the AppStream metainfo.
  packages+=(dpkg-dev fakeroot file lintian desktop-file-utils appstream)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Missing Debian packages, installing them now with ${sudo:+sudo }apt-get:"
printf '  %s\n' "${missing[@]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
