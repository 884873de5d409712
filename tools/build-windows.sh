#!/usr/bin/env bash
# Builds Sprayrush for 64-bit Windows on this Debian machine, from the same sources:
#   build-windows/dist/Sprayrush/          the game folder (Sprayrush.exe, sprayrush-run.exe,
#                                          the DLLs, Data/Res, Data/Music, Fonts, Licences)
#   build-windows/dist/Sprayrush-win64.zip that folder, to unpack anywhere and play
#   build-windows/dist/Sprayrush-setup.exe the installer
# The Windows libraries come from Debian's source packages (tools/windows/libraries.sh,
# cached outside the checkout); the game data is built by a Linux build of the same tree
# (SPRAYRUSH_HOST_BUILD, default build-windows/host), since its tools run here.
# The tests are built too; `ctest --test-dir build-windows` runs them under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/setup.sh
JOBS="${JOBS:-$(nproc)}"
export JOBS
start=$SECONDS
say() { echo "build-windows: $* ($((SECONDS - start)) s)"; }

host=${SPRAYRUSH_HOST_BUILD:-build-windows/host}
if [ ! -f "$host/CMakeCache.txt" ]; then
  cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPRAYRUSH_TESTS=OFF -DSPRAYRUSH_BENCH=OFF >/dev/null
fi
cmake --build "$host" -j"$JOBS" --target game_data
say "game data in $host/game/Data"

libs=$(bash tools/windows/libraries.sh)
say "libraries in $libs"

cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DSPRAYRUSH_WINDOWS_LIBS="$libs" -DSPRAYRUSH_HOST_DATA="$root/$host/game/Data" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPRAYRUSH_BENCH=OFF >/dev/null
cmake --build build-windows -j"$JOBS"
say "built in build-windows"

dist=build-windows/dist
rm -rf "$dist"
cmake --install build-windows --prefix "$dist/Sprayrush" --strip >/dev/null
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/Sprayrush/*.dll
(cd "$dist" && zip -qr9 Sprayrush-win64.zip Sprayrush)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
makensis -V2 -INPUTCHARSET UTF8 -DSOURCE="$root/$dist/Sprayrush" -DOUTFILE="$root/$dist/Sprayrush-setup.exe" \
  -DVERSION="$version" -DICON="$root/build-windows/icons/sprayrush.ico" tools/windows/installer.nsi
say "done: $dist/Sprayrush, $dist/Sprayrush-win64.zip, $dist/Sprayrush-setup.exe"
