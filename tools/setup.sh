#!/usr/bin/env bash
# Installs every Debian package the build, the game and the tests need.
# Idempotent: asks apt only for what is missing, so a ready machine passes in a second.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev libxmp-dev
  libcurl4-openssl-dev libfontconfig-dev
  fonts-liberation fonts-dseg fonts-dejavu-core fonts-roboto-unhinted
  xdg-utils
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool openbox imagemagick x11-utils libx11-dev xfonts-base
  librsvg2-bin libpng-dev
  libmicrohttpd-dev libsqlite3-dev libpq-dev postgresql-15 chromium
  # The Windows build (tools/build-windows.sh) and its tests under Wine.
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix dpkg-dev
  debian-archive-keyring wine wine64 nsis zip
  # The web build (tools/build-web.sh); its browser tests drive the chromium above.
  emscripten brotli
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
