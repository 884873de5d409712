#!/usr/bin/env bash
# The game's window on a desktop: it appears with its caption at 800 x 600; closing it
# does not end the game but asks the quit question, which No takes away again; SIGTERM
# ends it cleanly.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init window
e2e_need xwininfo

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game

[ "$(e2e_caption)" = Sprayrush ] || e2e_fail "caption '$(e2e_caption)'"
read -r _ _ w h < <(e2e_client_rect)
[ "$w x $h" = "800 x 600" ] || e2e_fail "client area $w x $h"

# The menu slides in and comes to rest.
e2e_wait_still "$E2E_DIR/menu.png" 20
# The question comes up in the middle of the surface, over the menu (the buttons on the
# right, whose highlight may move, stay out of the region).
question=300x140+230+230
e2e_close_window
e2e_wait_change "$E2E_DIR/menu.png" "$question"
sleep 1
e2e_running "$E2E_GAME_PID" || e2e_fail "closing the window ended the game"
xdotool search --onlyvisible --name '^Sprayrush$' >/dev/null || e2e_fail "the window went away on close"
e2e_key n
e2e_wait_same "$E2E_DIR/menu.png" "$question"

status=0
e2e_terminate "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the game with status $status"
e2e_log "passed"
