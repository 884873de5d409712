#!/usr/bin/env bash
# The Windows game under Wine as a program for the window benchmark to measure:
#   SPRAYRUSH_BENCH_GAME=tools/windows/bench-game.sh bash tools/bench-window.sh
# (tools/windows/bench.sh sets up the whole run). It plays a copy of
# build-windows/dist/Sprayrush in a Wine prefix of its own (made on the first run), so no
# save lands in the packaged folder; SPRAYRUSH_BENCH_MUSIC_OFF=1 starts it with music off.
# Wine's server is not counted.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dist=$here/../../build-windows/dist/Sprayrush
bench=${TMPDIR:-/tmp}/sprayrush-bench-wine
export WINEPREFIX=$bench/prefix
[ -f "$WINEPREFIX/system.reg" ] || bash "$here/wine.sh" --prepare >&2
# Copied once per packaged build, not at every start (the start-up is timed): each start
# begins without saves.
if [ ! -f "$bench/Sprayrush/Sprayrush.exe" ] || [ "$dist/Sprayrush.exe" -nt "$bench/Sprayrush/Sprayrush.exe" ]; then
  rm -rf "$bench/Sprayrush"
  cp -rp "$dist" "$bench/Sprayrush"
fi
rm -rf "$bench/Sprayrush/Data/Save"
if [ -n "${SPRAYRUSH_BENCH_MUSIC_OFF:-}" ]; then
  mkdir -p "$bench/Sprayrush/Data/Save"
  printf '0\r\n0\r\n1\r\n_______\r\n\r\n' >"$bench/Sprayrush/Data/Save/options"
fi
exec env -u SDL_VIDEODRIVER WINE_DISPLAY="$DISPLAY" bash "$here/wine.sh" "Z:${bench//\//\\}\\Sprayrush\\Sprayrush.exe"
