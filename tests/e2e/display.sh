#!/usr/bin/env bash
# Switching the display keeps the pointer over the same point of the game's picture, so
# the button under it stays the hot one: the options screen's full-screen row, clicked
# twice without moving the mouse, goes to full screen and back and leaves the music
# alone; Alt+Enter with the pointer on the sound row, both ways, leaves that row lit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init display
e2e_need xwininfo

row_y() { echo $((200 + 60 * ($1 - 1))); }  # the middle of option rows 1..4
# A hot row shows the yellow arrow of its highlight at its left end.
lit() { e2e_colour_is "$1" 19 $((196 + 60 * ($2 - 1))) '#FFF100'; }
only_lit() {  # only_lit SHOT ROW
  local r
  for r in 1 2 3 4; do
    if [ "$r" = "$2" ]; then
      lit "$1" "$r" || e2e_fail "row $r is not lit in $(basename "$1")"
    else
      ! lit "$1" "$r" || e2e_fail "row $r is lit in $(basename "$1")"
    fi
  done
}
size_is() { [ "$(e2e_client_rect | cut -d' ' -f3,4)" = "$1" ]; }
wait_size() { e2e_until 10 size_is "$1" || e2e_fail "$2: the client area is $(e2e_client_rect), not $1"; }
pointer_near() {  # over surface pixel (X, Y), give or take one
  local x y
  read -r x y < <(e2e_pointer_on_surface)
  ((x >= $1 - 1 && x <= $1 + 1 && y >= $2 - 1 && y <= $2 + 1))
}
expect_pointer() {
  e2e_until 5 pointer_near "$1" "$2" || e2e_fail "the pointer is over ($(e2e_pointer_on_surface)), not ($1, $2)"
}

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game
e2e_wait_still "$E2E_DIR/menu.png" 20
e2e_click 650 194  # options
e2e_wait_still "$E2E_DIR/options.png" 5

# The full-screen row by mouse: into full screen, the pointer still on the row.
e2e_click 100 "$(row_y 1)"
wait_size "1024 768" "after a click on the full-screen row"
expect_pointer 100 "$(row_y 1)"
e2e_wait_still "$E2E_DIR/full.png" 5
only_lit "$E2E_DIR/full.png" 1
# A second click where the mouse is switches back, not the music.
xdotool click 1
wait_size "800 600" "after a second click there"
expect_pointer 100 "$(row_y 1)"
e2e_wait_still "$E2E_DIR/window.png" 5
only_lit "$E2E_DIR/window.png" 1

# Alt+Enter both ways with the pointer on the sound row.
e2e_hover 200 "$(row_y 3)"
e2e_until 5 eval 'e2e_shot "$E2E_DIR/sound.png" && lit "$E2E_DIR/sound.png" 3' || e2e_fail "the sound row did not light"
e2e_key alt+Return
wait_size "1024 768" "after Alt+Enter"
expect_pointer 200 "$(row_y 3)"
e2e_wait_still "$E2E_DIR/full_keys.png" 5
only_lit "$E2E_DIR/full_keys.png" 3
e2e_key alt+Return
wait_size "800 600" "after Alt+Enter again"
expect_pointer 200 "$(row_y 3)"
e2e_wait_still "$E2E_DIR/window_keys.png" 5
only_lit "$E2E_DIR/window_keys.png" 3

# Leaving saves what was switched: the window, music and sound on as at the start.
e2e_close_window
e2e_key y
e2e_until 10 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "Yes did not end the game"
options=$E2E_RUN_DIR/Data/Save/options
[ "$(head -n 3 "$options")" = $'0\r\n1\r\n1\r' ] || e2e_fail "options saved as: $(od -c "$options" | head -3)"
e2e_log passed
