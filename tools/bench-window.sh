#!/usr/bin/env bash
# The window figures side by side with their floors in one run, on a virtual X display of
# their own (bench_window_cpu): CPU per second of one core (the program's and the X
# server's) and peak memory of the bare SDL floor, the bare music player, the game's
# window with a still picture, and the game as built, its menu at rest (music on and off)
# and a race (music on and off). Then the start-up beside its floor (bench_startup). Then
# one table of every figure with its floor and ratio, in the form the README keeps; last,
# the page's figures (tools/web/bench-page.sh) where the web build is there.
# Needs a build with benchmarks (the default):
#   bash tools/bench-window.sh [benchmark options for both, e.g. --benchmark_filter=Floor]
# BUILD=<folder> picks another build folder than build/; SPRAYRUSH_BENCH_GAME=<program>
# measures another build of the game (say, an older one, or the Windows build under Wine:
# tools/windows/bench-game.sh) in place of this build's, SPRAYRUSH_BENCH_FLOOR and
# SPRAYRUSH_BENCH_MUSIC other floors (tools/windows/bench-floor.sh and bench-music.sh);
# SPRAYRUSH_BENCH_PLATFORM names the platform in the table's heading;
# SPRAYRUSH_BENCH_SHOT=<file.ppm> keeps the race's last picture, to see what was measured.
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${BUILD:-build}/bench/bench_window_cpu
startup=${BUILD:-build}/bench/bench_startup
for b in "$bench" "$startup"; do
  [ -x "$b" ] || { echo "bench-window: build first ($b is missing)" >&2; exit 1; }
done

source tests/e2e/lib.sh
e2e_init bench-window
# No window manager: nothing but the measured program draws.
e2e_start_display 1024x768x24
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
machine="$cpu, $(nproc) cores; SDL $(pkg-config --modversion sdl2 2>/dev/null || echo '?'); Xvfb 1024x768x24"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
echo "machine: $machine; load average $load_start"
SPRAYRUSH_XSERVER_PID=$E2E_XSERVER_PID "$bench" "$@" | tee "$E2E_DIR/window.log"
"$startup" "$@" | tee "$E2E_DIR/startup.log"
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

echo
echo "== ${SPRAYRUSH_BENCH_PLATFORM:-Linux}: $machine; load average $load_start at the start, $load_end at the end"
echo "| Figure | Measured | Floor | Ratio (or above the floor) | Goal |"
echo "|---|---|---|---|---|"
grep -h '^| ' "$E2E_DIR/window.log" "$E2E_DIR/startup.log" || true
# The page in the browser, when the web build is there (tools/build-web.sh) and this
# build's game was measured.
if [ -z "${SPRAYRUSH_BENCH_GAME:-}" ] && [ -f build-web/dist/index.html ]; then bash tools/web/bench-page.sh; fi
