#!/usr/bin/env bash
# The Windows game under Wine as a program for the window benchmark to measure:
#   SPRAYRUSH_BENCH_GAME=tools/windows/bench-game.sh bash tools/bench-window.sh --benchmark_filter=Game
# It plays a copy of build-windows/dist/Sprayrush in a Wine prefix of its own (made on the
# first run), so no save lands in the packaged folder. The process measured is the game's
# own; Wine's server is not counted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dist=$here/../../build-windows/dist/Sprayrush
bench=${TMPDIR:-/tmp}/sprayrush-bench-wine
export WINEPREFIX=$bench/prefix
[ -f "$WINEPREFIX/system.reg" ] || bash "$here/wine.sh" --prepare >&2
rm -rf "$bench/Sprayrush"
cp -r "$dist" "$bench/Sprayrush"
exec env -u SDL_VIDEODRIVER WINE_DISPLAY="$DISPLAY" bash "$here/wine.sh" "Z:${bench//\//\\}\\Sprayrush\\Sprayrush.exe"
