#!/usr/bin/env bash
# The floors of the Windows build under Wine, for the window benchmark: the bare SDL
# program (bench_bare_sdl.exe, built by tools/build-windows.sh) run from the game's folder,
# so it finds the same SDL2.dll, in the benchmark's Wine prefix.
#   bench-floor.sh [ARGS]          the window floor (SPRAYRUSH_BENCH_FLOOR)
#   bench-floor.sh --music FILE    the music floor, bench_bare_music.exe (SPRAYRUSH_BENCH_MUSIC)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$here/../../build-windows
bench=${TMPDIR:-/tmp}/sprayrush-bench-wine
export WINEPREFIX=$bench/prefix
[ -f "$WINEPREFIX/system.reg" ] || bash "$here/wine.sh" --prepare >&2
program=bench_bare_sdl.exe
if [ "${1:-}" = --music ]; then
  program=bench_bare_music.exe
  shift
  # The tune as a Windows path.
  set -- "Z:${1//\//\\}"
fi
mkdir -p "$bench/Floor"
cp -up "$build"/dist/Sprayrush/*.dll "$build/bench/$program" "$bench/Floor/"
exec env -u SDL_VIDEODRIVER WINE_DISPLAY="$DISPLAY" bash "$here/wine.sh" "Z:${bench//\//\\}\\Floor\\$program" "$@"
