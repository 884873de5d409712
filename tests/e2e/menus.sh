#!/usr/bin/env bash
# A person at the menus: the menu slides in; every screen is reached by mouse and by
# keyboard; the options are switched (full screen both ways, the mouse still hitting the
# buttons there), the free text typed; the quit question ends the game and both save
# files are written; the next start shows the same options.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init menus
e2e_need xwininfo

# Surface places: main-menu buttons at X 556, the secondary screens' panel on the left.
slot_y() { echo $((${1} == 1 ? 134 : ${1} == 2 ? 194 : ${1} == 3 ? 257 : ${1} == 4 ? 319 : ${1} == 5 ? 381 : 443)); }
click_slot() { e2e_click 650 "$(slot_y "$1")"; }
panel=420x420+12+106
caption=500x300+20+180
row_y() { echo $((200 + 60 * ($1 - 1))); }  # option rows 1..4, at Y 180, 240, 300, 360
row() { echo "500x40+14+$((180 + 60 * ($1 - 1)))"; }
switch() { echo "80x24+425+$((188 + 60 * ($1 - 1)))"; }  # the on/off switch of a row
shot() { e2e_shot "$E2E_DIR/$1.png"; }
differs() {  # differs A B REGION: the two shots are not the same there
  local d
  d=$(e2e_region_diff "$E2E_DIR/$1.png" "$E2E_DIR/$2.png" "$3")
  [ "${d:-0}" -gt 50 ] || e2e_fail "$1 and $2 agree in $3"
}

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game

# The panels and then the buttons slide in; the column is empty at first.
shot intro
e2e_wait_still "$E2E_DIR/menu.png" 20
differs intro menu 230x370+560+110

# Keyboard: down twice to the high scores, Enter opens them, Escape goes back.
e2e_key Down Down
e2e_wait_change "$E2E_DIR/menu.png" "$caption"
e2e_wait_still "$E2E_DIR/menu3.png" 5
e2e_key Return
e2e_wait_change "$E2E_DIR/menu3.png" "$panel"
e2e_wait_still "$E2E_DIR/scores_keys.png" 5
e2e_key Escape
e2e_wait_same "$E2E_DIR/menu3.png" "$panel"

# Mouse: the same table by a click.
click_slot 3
e2e_wait_change "$E2E_DIR/menu3.png" "$panel"
e2e_wait_still "$E2E_DIR/scores_mouse.png" 5
e2e_expect_region "$E2E_DIR/scores_keys.png" "$E2E_DIR/scores_mouse.png" "$panel"

# Pointing at the start button closes the table; a click opens the boat choice, whose
# highlight the arrow keys move; Escape leaves it.
click_slot 1
e2e_wait_still "$E2E_DIR/boats.png" 5
differs boats scores_mouse "$panel"
e2e_key Right
e2e_wait_change "$E2E_DIR/boats.png" "$panel"
e2e_key Escape
e2e_wait_change "$E2E_DIR/boats.png" "$panel"

# Help by keyboard: the pages turn at the end of the row and come round again.
e2e_key Down Down Down Return
e2e_wait_still "$E2E_DIR/help1.png" 5
differs help1 boats "$panel"
e2e_key Right
e2e_wait_change "$E2E_DIR/help1.png" "$panel"
e2e_key Right Right
e2e_wait_same "$E2E_DIR/help1.png" "$panel"

# Options by mouse: music off, full screen on.
click_slot 2
e2e_wait_still "$E2E_DIR/options.png" 5
e2e_click 200 "$(row_y 2)"
e2e_wait_change "$E2E_DIR/options.png" "$(row 2)"
e2e_click 200 "$(row_y 1)"
e2e_until 10 eval '[ "$(e2e_client_rect | cut -d" " -f3,4)" = "1024 768" ]' ||
  e2e_fail "full screen did not fill the screen: $(e2e_client_rect)"
e2e_wait_still "$E2E_DIR/full.png" 5
# The picture fills the whole 4:3 screen, corners included.
import -silent -window root "$E2E_DIR/screen.png"
for corner in "2 2" "1021 2" "2 765" "1021 765"; do
  read -r r g b < <(e2e_pixel "$E2E_DIR/screen.png" $corner)
  [ $((r + g + b)) -gt 30 ] || e2e_fail "screen corner $corner is black"
done
# The mouse still hits the rows in full screen: sound off.
e2e_click 200 "$(row_y 3)"
e2e_wait_change "$E2E_DIR/full.png" "$(row 3)"
e2e_click 200 "$(row_y 1)"
e2e_until 10 eval '[ "$(e2e_client_rect | cut -d" " -f3,4)" = "800 600" ]' ||
  e2e_fail "the window did not come back: $(e2e_client_rect)"
e2e_hover 200 "$(row_y 4)"  # rows 1 to 3 unlit, to compare them later
e2e_wait_still "$E2E_DIR/options_off.png" 5
differs options options_off "$(switch 2)"
differs options options_off "$(switch 3)"

# The free text takes what is typed, up to ten characters.
e2e_click 200 "$(row_y 4)"
e2e_type "e2e 1"
e2e_wait_change "$E2E_DIR/options_off.png" 250x40+255+350

# The quit question; Yes ends the game and saves.
click_slot 6
e2e_key y
e2e_until 10 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "Yes did not end the game"
status=0
wait "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "the game ended with status $status"
options=$E2E_RUN_DIR/Data/Save/options
[ "$(head -n 4 "$options")" = $'0\r\n0\r\n0\r\n_______e2e\r' ] ||
  e2e_fail "options saved as: $(od -c "$options" | head -3)"
[ "$(wc -l <"$E2E_RUN_DIR/Data/Save/hs")" -eq 40 ] || e2e_fail "the high-score file has not 40 lines"

# The next start reads them back: music and sound show off.
e2e_start_game
e2e_wait_still "$E2E_DIR/menu_again.png" 20
click_slot 2
e2e_hover 200 "$(row_y 4)"
e2e_wait_still "$E2E_DIR/options_again.png" 5
e2e_expect_region "$E2E_DIR/options_off.png" "$E2E_DIR/options_again.png" "$(switch 2)" 10
e2e_expect_region "$E2E_DIR/options_off.png" "$E2E_DIR/options_again.png" "$(switch 3)" 10
status=0
e2e_terminate "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the game with status $status"
e2e_log passed
