#!/usr/bin/env bash
# A race in the window: a boat is chosen, the level banner shows and goes, the throttle
# moves the speedometer and the course, the pause freezes the race and P resumes it,
# Escape asks whether to leave, No plays on, Yes ends the race on the high-score screen.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init race
e2e_need xwininfo

river=420x300+180+150   # the water above the boat
banner=300x70+250+250
needle=110x80+690+520   # the speedometer
clock=70x30+24+258
shot() { e2e_shot "$E2E_DIR/$1.png"; }
same() {  # same A B REGION: at most a few pixels apart
  local d
  d=$(e2e_region_diff "$E2E_DIR/$1.png" "$E2E_DIR/$2.png" "$3")
  [ "${d:-99999}" -le 5 ] || e2e_fail "$1 and $2 differ in $3 ($d pixels)"
}

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game
e2e_wait_still "$E2E_DIR/menu.png" 20
e2e_click 650 134   # start
e2e_wait_still "$E2E_DIR/boats.png" 5
e2e_click 100 260   # the first boat
# The banner stands over the still course, then goes.
e2e_wait_change "$E2E_DIR/boats.png" 300x300+100+150
shot banner
e2e_wait_change "$E2E_DIR/banner.png" "$banner" 5
shot racing

# Throttle: the needle swings and the banks and objects stream past.
e2e_hold Up
sleep 2
shot moving
e2e_release Up
[ "$(e2e_region_diff "$E2E_DIR/racing.png" "$E2E_DIR/moving.png" "$needle")" -gt 100 ] ||
  e2e_fail "the speedometer did not move"

# Pause: nothing moves until P again.
e2e_key p
e2e_wait_still "$E2E_DIR/paused1.png" 5 "$river"
sleep 1
shot paused2
same paused1 paused2 "$river"
same paused1 paused2 "$clock"
e2e_key p
e2e_wait_change "$E2E_DIR/paused2.png" "$clock" 5

# Escape asks; No plays on, the window goes.
e2e_key Escape
e2e_wait_colour 250 260 '#10306A' 5
shot question
e2e_key n
e2e_until 5 eval '! e2e_shot_shows 250 260 "#10306A"' || e2e_fail "No left the question up"
# Yes leaves: no record with no points, so the menu comes back and opens the high scores.
e2e_key Escape
e2e_wait_colour 250 260 '#10306A' 5
e2e_key y
e2e_wait_colour 100 160 '#F6FAFF' 20
e2e_running "$E2E_GAME_PID" || e2e_fail "the game ended"

status=0
e2e_terminate "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the game with status $status"
e2e_log passed
