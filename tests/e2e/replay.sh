#!/usr/bin/env bash
# A game in the window is recorded and watched again: a race played with the keys
# (throttle, steering, the leave question, a name for the record) is kept in Data/Replays,
# and the headless runner re-plays it to the score the game gave; R on the high scores
# shows it again in the window, where Space pauses and Escape leaves to the menu;
# `sprayrush --replay FILE` shows it from its start. Watching saves and keeps nothing.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init replay
e2e_need xwininfo
runner=$E2E_BUILD_DIR/tools/sprayrush-run
[ -x "$runner" ] || e2e_fail "the runner is not built"
[ -x "${E2E_SEED_TABLE:-}" ] || e2e_fail "e2e_seed_table is not built"

window_inside='#10306A'  # the dialog window's face at surface (250, 260)
table_face='#F6FAFF'     # the high-score panel at (100, 160)
river=420x300+180+150
panel=110x60+8+390       # the left panel below the clock, the same in every race frame
shot() { e2e_shot "$E2E_DIR/$1.png"; }
moving() {  # moving A B REGION: the picture changed there
  [ "$(e2e_region_diff "$E2E_DIR/$1.png" "$E2E_DIR/$2.png" "$3")" -gt 100 ]
}

# A table that any game makes, so the race ends with a name for it.
E2E_RUN_DIR=$E2E_DIR/run
mkdir -p "$E2E_RUN_DIR/Data/Save"
"$E2E_SEED_TABLE" "$E2E_RUN_DIR"

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game
e2e_wait_still "$E2E_DIR/menu.png" 20
e2e_click 650 134   # start
e2e_wait_still "$E2E_DIR/boats.png" 5
e2e_click 280 260   # the second boat
e2e_wait_change "$E2E_DIR/boats.png" 300x300+100+150
sleep 2.5           # the level banner
e2e_hold Up Right
sleep 1
e2e_release Right
e2e_hold Left
sleep 1
e2e_release Left Up
shot race
e2e_key Escape
e2e_wait_colour 250 260 "$window_inside" 5
e2e_key y
e2e_enter_name "Rec"
e2e_key n
e2e_wait_colour 100 160 "$table_face" 20
shot table

# The kept replay re-plays headless to the game's own end, the name typed included.
shopt -s nullglob
kept=("$E2E_RUN_DIR"/Data/Replays/*.replay)
[ "${#kept[@]}" -eq 1 ] || e2e_fail "${#kept[@]} replays kept, not 1"
# Beside the display the libraries below SDL keep allocations until exit; the runner's own
# leaks are checked where it runs alone.
verdict=$(ASAN_OPTIONS=detect_leaks=0 "$runner" --verify "${kept[0]}") ||
  e2e_fail "the replay does not come to its end: $verdict"
e2e_log "$verdict"
score=$(sed -n 's/^result=reproduced score=\([0-9]*\) name=526563 .* table=1 sent=0 .*/\1/p' <<<"$verdict")
[ -n "$score" ] || e2e_fail "not the game played: $verdict"
grep -q " claimed_score=$score " <<<"$verdict" || e2e_fail "another score than the game's: $verdict"

# R shows it again in the window: the race moves, Space stops it, Escape leaves.
e2e_key r
e2e_wait_change "$E2E_DIR/table.png" "$panel" 5
sleep 3.2           # past the banner, into the part where the boat moves
shot watch1
sleep 0.4
shot watch2
moving watch1 watch2 "$river" || e2e_fail "the replayed race does not move"
e2e_expect_region "$E2E_DIR/race.png" "$E2E_DIR/watch2.png" "$panel" 40
e2e_key space
e2e_wait_still "$E2E_DIR/paused1.png" 5 "$river"
sleep 0.8
shot paused2
e2e_expect_region "$E2E_DIR/paused1.png" "$E2E_DIR/paused2.png" "$river" 5
e2e_key space
e2e_wait_change "$E2E_DIR/paused2.png" "$river" 5
e2e_key Escape
e2e_wait_colour 100 160 "$table_face" 20

# Quitting saves the player's table with the record; watching kept no replay of its own.
e2e_click 650 443
e2e_wait_colour 250 260 "$window_inside" 5
e2e_key y
e2e_until 10 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "Yes did not end the game"
wait "$E2E_GAME_PID" || e2e_fail "the game ended with status $?"
grep -q "^Rec" "$E2E_RUN_DIR/Data/Save/hs" || e2e_fail "the saved table has no Rec"
grep -A1 "^Rec" "$E2E_RUN_DIR/Data/Save/hs" | grep -q "^$score" || e2e_fail "Rec is saved with another score"
kept=("$E2E_RUN_DIR"/Data/Replays/*.replay)
[ "${#kept[@]}" -eq 1 ] || e2e_fail "watching kept a replay"
saves=$(cat "$E2E_RUN_DIR"/Data/Save/* | md5sum)

# The replay from the command line, from its start; Escape leaves to the menu.
e2e_start_game --replay "${kept[0]}"
shows_race() {
  e2e_shot "$E2E_DIR/start.png" && [ "$(e2e_region_diff "$E2E_DIR/race.png" "$E2E_DIR/start.png" "$panel")" -le 40 ]
}
e2e_until 10 shows_race || e2e_fail "sprayrush --replay does not show the race"
e2e_key Escape
e2e_wait_change "$E2E_DIR/start.png" "$panel" 5
status=0
e2e_terminate "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the game with status $status"
[ "$(cat "$E2E_RUN_DIR"/Data/Save/* | md5sum)" = "$saves" ] || e2e_fail "watching changed the saves"
kept=("$E2E_RUN_DIR"/Data/Replays/*.replay)
[ "${#kept[@]}" -eq 1 ] || e2e_fail "watching kept a replay"
e2e_log passed
