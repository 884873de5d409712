#!/usr/bin/env bash
# The window and start-up figures of the Windows build under Wine, each beside its own
# floor, the bare SDL program and the bare music player built for Windows (run from the
# game's folder, with its DLLs): tools/bench-window.sh with the Windows programs.
#   bash tools/windows/bench.sh [benchmark options]
# Needs tools/build-windows.sh first (build-windows/dist and build-windows/bench) and the
# Linux build's benchmarks (build/bench), which drive the programs from outside.
set -euo pipefail
cd "$(dirname "$0")/../.."
[ -f build-windows/bench/bench_bare_sdl.exe ] || { echo "bench: run tools/build-windows.sh first" >&2; exit 1; }
# The benchmark's own Wine prefix, made afresh once: its programs are stopped after their
# measurement, and a prefix still being made must not be among them.
export WINEPREFIX=${TMPDIR:-/tmp}/sprayrush-bench-wine/prefix
bash tools/windows/wine.sh --prepare
# Wine's services would keep the prefix's server up after the run.
trap 'bash tools/windows/wine.sh --end' EXIT
export SPRAYRUSH_BENCH_WARMUP=${SPRAYRUSH_BENCH_WARMUP:-15}
export SPRAYRUSH_BENCH_GAME=tools/windows/bench-game.sh SPRAYRUSH_BENCH_FLOOR=tools/windows/bench-floor.sh \
  SPRAYRUSH_BENCH_MUSIC=tools/windows/bench-music.sh \
  SPRAYRUSH_BENCH_PLATFORM="Windows build under $(wine --version 2>/dev/null || echo Wine)"
# The still picture and the in-process start-up are the Linux build's own; the rest runs
# the Windows programs.
bash tools/bench-window.sh --benchmark_filter='^BM_(Floor|BareMusic|GameMenu|GameInRace|StartUpWhole)' "$@"
