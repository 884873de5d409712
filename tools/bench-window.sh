#!/usr/bin/env bash
# The window figures side by side in one run, on a virtual X display of their own: the
# bare SDL floor, the game window presenting a still picture (every frame, and only when
# it changed) and the game as built, in the menu and in a race; CPU per second of one core
# (the program's and the X server's) and peak memory. Then the time from start to the
# first menu frame (bench_startup). Needs a build with benchmarks (the default):
#   bash tools/bench-window.sh [benchmark options for both, e.g. --benchmark_filter=Bare]
# BUILD=<folder> picks another build folder than build/; SPRAYRUSH_BENCH_GAME=<program>
# measures another build of the game (say, an older one) in place of this build's;
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
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores;" \
  "SDL $(pkg-config --modversion sdl2 2>/dev/null || echo '?'); Xvfb $DISPLAY 1024x768x24"
SPRAYRUSH_XSERVER_PID=$E2E_XSERVER_PID "$bench" "$@"
"$startup" "$@"
# The page in the browser, when the web build is there (tools/build-web.sh).
if [ -f build-web/dist/index.html ]; then bash tools/web/bench-page.sh; fi
