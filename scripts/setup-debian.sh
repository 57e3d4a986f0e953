#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine.
# Only missing packages are installed; nothing is downloaded outside apt.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix wine wine64
  xvfb xauth libx11-dev
  libopenimageio-dev
  libglfw3-dev libxrandr-dev libgl-dev libgl1-mesa-dri libxtst-dev
  libfreetype-dev fonts-dejavu-core
  xdotool imagemagick x11-utils
  clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
