#!/usr/bin/env bash
# Builds Sprayrush for the web browser (WebAssembly) on this Debian machine, from the same
# sources:
#   build-web/dist/                  the page: index.html, sprayrush.js, sprayrush.wasm and
#                                    sprayrush.data (Data/Res, Data/Music, Fonts), each
#                                    also precompressed (.gz, .br); the score server serves it
#   build-web/runner/sprayrush-run.js the headless runner, for node
# The web libraries come from Debian's source packages (tools/web/libraries.sh, cached
# outside the checkout); the game data is built by a Linux build of the same tree
# (SPRAYRUSH_HOST_BUILD, default build-web/host), since its tools run here.
# `ctest --test-dir build-web` runs the runner's scenarios under node and the page in Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/setup.sh
source tools/web/env.sh
JOBS="${JOBS:-$(nproc)}"
export JOBS
start=$SECONDS
say() { echo "build-web: $* ($((SECONDS - start)) s)"; }

host=${SPRAYRUSH_HOST_BUILD:-build-web/host}
if [ ! -f "$host/CMakeCache.txt" ]; then
  cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSPRAYRUSH_TESTS=OFF -DSPRAYRUSH_BENCH=OFF >/dev/null
fi
# The server too: the page's tests play against it.
cmake --build "$host" -j"$JOBS" --target game_data game_fonts sprayrush-scores sprayrush-run
say "game data in $host/game/Data"

libs=$(bash tools/web/libraries.sh)
say "libraries in $libs"

cmake -S . -B build-web -DCMAKE_TOOLCHAIN_FILE="$root/cmake/emscripten.cmake" \
  -DSPRAYRUSH_WEB_LIBS="$libs" -DSPRAYRUSH_HOST_DATA="$root/$host/game/Data" \
  -DCMAKE_BUILD_TYPE=Release -DSPRAYRUSH_BENCH=OFF >/dev/null
cmake --build build-web -j"$JOBS"
say "built in build-web"

dist=build-web/dist
rm -rf "$dist"
mkdir -p "$dist"
cp build-web/game/index.html build-web/game/sprayrush.{js,wasm,data} "$dist/"
# The server sends the smaller file a browser takes; both are made once, here.
for f in "$dist"/*; do
  gzip -9 -k -n "$f"
  brotli -q 11 -k "$f"
done
say "done: $dist ($(du -cb "$dist"/*.br | tail -1 | cut -f1) bytes as brotli)"
