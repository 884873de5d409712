#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test; then builds again with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs every test once more.
# Tests need no display and no sound device (SDL's dummy drivers). Then the Windows build
# and its tests under Wine; last, the web build, its runner under node and its page in
# Chromium.
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

# Windows: the cross-build, with the game data of build/ above, and its tests under Wine
# in a prefix made once for this run.
SPRAYRUSH_HOST_BUILD=build bash tools/build-windows.sh
export WINEPREFIX="$PWD/build-windows/wine-prefix"
status=0
if bash tools/windows/wine.sh --prepare; then
  ctest --test-dir build-windows --output-on-failure -j"$JOBS" -FS wine -E '^wine\.prefix$' || status=$?
  bash tools/windows/wine.sh --end
else
  echo "test: the Windows tests are SKIPPED: Wine cannot start on this machine"
fi

# The web: the page and the runner for node, with the game data and the score server of
# build/ above; the page's test skips itself where Chromium cannot start.
SPRAYRUSH_HOST_BUILD=build bash tools/build-web.sh
(cd tests/web && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
ctest --test-dir build-web --output-on-failure -j"$JOBS" || status=$?
exit "$status"
