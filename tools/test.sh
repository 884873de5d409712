#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test; then builds again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test once more.
# Tests need no display and no sound device (SDL's dummy drivers).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

JOBS="${JOBS:-$(nproc)}"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$JOBS"
ctest --test-dir build --output-on-failure -j"$JOBS"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSPRAYRUSH_SANITIZE=ON -DSPRAYRUSH_BENCH=OFF
cmake --build build-asan -j"$JOBS"
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The long real-time scenarios ran above; once is enough.
ctest --test-dir build-asan --output-on-failure -j"$JOBS" -LE e2e-long
