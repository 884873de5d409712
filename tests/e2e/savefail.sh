#!/usr/bin/env bash
# Saves that cannot be written: with a file where the save folder should be, leaving the
# game through the quit question shows one message box, in Russian, naming both files;
# OK ends the game, and nothing on disk was touched.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init savefail
e2e_need xwininfo

# The game's message boxes: windows captioned like the game, narrower than its window.
boxes() {
  xwininfo -root -tree | awk '/ "Sprayrush": / && match($0, / [0-9]+x[0-9]+\+/) {
    if (substr($0, RSTART + 1, RLENGTH - 2) + 0 < 800) print $1 }'
}
box_count() { boxes | wc -l; }

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game
e2e_wait_still "$E2E_DIR/menu.png" 20
rm -r "$E2E_RUN_DIR/Data/Save"
echo 'in the way' >"$E2E_RUN_DIR/Data/Save"

e2e_close_window
e2e_key y
e2e_until 20 eval '[ "$(box_count)" -ge 1 ]' || e2e_fail "no message box came up"
import -silent -window root "$E2E_DIR/box.png"
sleep 1  # a second box would be up by now
[ "$(box_count)" -eq 1 ] || e2e_fail "$(box_count) message boxes"
e2e_running "$E2E_GAME_PID" || e2e_fail "the game ended under its message box"
xdotool windowactivate --sync "$(boxes)" key Return
e2e_until 10 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "OK did not end the game"
status=0
wait "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "the game ended with status $status"
[ "$(box_count)" -eq 0 ] || e2e_fail "another message box came up"
[ "$(cat "$E2E_RUN_DIR/Data/Save")" = 'in the way' ] || e2e_fail "the file in the way was changed"
e2e_log passed
