#!/usr/bin/env bash
# A player who reads no Russian: the flags in the main menu's corner, one click and the
# menu speaks English, the keys (Left, Enter) bring Russian back and English again; the
# choice is kept in a file of its own beside the saves and the next start speaks it;
# --language ru starts in Russian and keeps that.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init language

column=230x370+556+112   # the main menu's buttons
title=330x40+460+14      # the line under the panel's logo
corner=124x46+4+546      # the language switch
quit_game() {
  e2e_hover 400 300  # a new window hears no motion from where the last one was quit
  e2e_click 650 443
  e2e_wait_colour 250 260 '#10306A' 5  # the question's window
  e2e_key y
  e2e_until 10 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "Yes did not end the game"
  wait "$E2E_GAME_PID" || e2e_fail "the game ended with status $?"
}

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game
e2e_wait_still "$E2E_DIR/russian.png" 20
# The switch shows both flags, Russian on its white chip.
e2e_expect_colour "$E2E_DIR/russian.png" 24 566 '#FFFFFF' 8  # the Russian flag's white
e2e_expect_colour "$E2E_DIR/russian.png" 14 568 '#F4FBFF' 8  # ... on the white chip

e2e_click 60 571
e2e_wait_change "$E2E_DIR/russian.png" "$column"
e2e_wait_still "$E2E_DIR/english.png" 5
[ "$(e2e_region_diff "$E2E_DIR/russian.png" "$E2E_DIR/english.png" "$corner")" -gt 200 ] ||
  e2e_fail "the switch does not show English in use"

# The keys (a frame takes each arrow, so wait for it): Right goes from the switch, which
# the pointer lit, back to the column's button, Left to the switch again; Enter changes
# the language, and again.
e2e_key Right
e2e_wait_change "$E2E_DIR/english.png" "$corner"
e2e_key Left
e2e_wait_same "$E2E_DIR/english.png" "$corner" 10 50
e2e_key Return
e2e_wait_same "$E2E_DIR/russian.png" "$title" 10 20
e2e_key Return
e2e_wait_same "$E2E_DIR/english.png" "$title" 10 20
quit_game
[ "$(cat "$E2E_RUN_DIR/Data/Save/language")" = $'en\r' ] ||
  e2e_fail "the language was saved as: $(od -c "$E2E_RUN_DIR/Data/Save/language" | head -2)"
[ "$(wc -l <"$E2E_RUN_DIR/Data/Save/options")" -eq 5 ] || e2e_fail "the options file has not 5 lines"

# The next start speaks English; --language ru starts in Russian, and keeps it.
e2e_start_game
e2e_wait_still "$E2E_DIR/english-again.png" 20
e2e_expect_region "$E2E_DIR/english.png" "$E2E_DIR/english-again.png" "$title" 20
quit_game
e2e_start_game --language ru
e2e_wait_still "$E2E_DIR/russian-again.png" 20
e2e_expect_region "$E2E_DIR/russian.png" "$E2E_DIR/russian-again.png" "$column" 50
quit_game
[ "$(cat "$E2E_RUN_DIR/Data/Save/language")" = $'ru\r' ] || e2e_fail "--language ru was not kept"
e2e_log passed
