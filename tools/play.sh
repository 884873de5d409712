#!/usr/bin/env bash
# Sets up the machine, builds the game with its data and starts it from build/game,
# the folder it reads its data from and writes its saves to.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh

JOBS="${JOBS:-$(nproc)}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$JOBS" --target sprayrush game_data
cd build/game
exec ./sprayrush
