#!/usr/bin/env bash
# The game's window on a desktop: it appears with its caption at 800 x 600, closing it
# does not end the game (leaving goes through the quit question), and SIGTERM ends it
# cleanly.
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

e2e_close_window
sleep 1
e2e_running "$E2E_GAME_PID" || e2e_fail "closing the window ended the game"
xdotool search --onlyvisible --name '^Sprayrush$' >/dev/null || e2e_fail "the window went away on close"

status=0
e2e_terminate "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the game with status $status"
e2e_log "passed"
