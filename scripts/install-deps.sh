#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the window and the tests need, if missing.
set -euo pipefail
packages=(build-essential cmake ninja-build ccache pkg-config libgtest-dev
          qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev
          libgl1-mesa-dev libxkbcommon-dev xvfb xauth fonts-wqy-microhei
          clang libclang-rt-14-dev
          # A CJK-only fallback font, as many desktops have: the window's font choice
          # must not pick it for captions that mix in Latin letters and digits.
          fonts-droid-fallback
          # "import" captures an X screen: the window under xvfb at several scale factors.
          imagemagick)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
