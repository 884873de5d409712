#!/usr/bin/env bash
# The harness itself, against a stand-in that shows a known test card and prints what it
# receives: screenshots and colours read back right, keys and clicks land on the surface
# pixels asked for, in the window and in full screen, and a close request arrives.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init harness
e2e_need import convert compare xwininfo
probe=${E2E_PROBE:-$E2E_BUILD_DIR/tests/e2e/e2e_probe}
[ -x "$probe" ] || e2e_fail "the probe is not built ($probe)"

e2e_start_display 1024x768x24
e2e_start_window_manager
log=$E2E_DIR/probe.log
env -u SDL_VIDEODRIVER ASAN_OPTIONS=detect_leaks=0 "$probe" --card "$E2E_DIR/card.ppm" >"$log" 2>"$E2E_DIR/probe-err.log" &
pid=$!
e2e_track "$pid"
e2e_wait_window '^Sprayrush probe$' "$pid"

said() { grep -qx "$1" "$log"; }
expect_said() { e2e_until "${2:-5}" said "$1" || e2e_fail "the probe never said '$1'; it said: $(tr '\n' '|' <"$log")"; }

# The card's cells (centres) and frame lines, colour by colour.
check_card() {
  local shot=$1
  e2e_expect_colour "$shot" 100 100 '#FF0000'
  e2e_expect_colour "$shot" 300 100 '#00FF00'
  e2e_expect_colour "$shot" 500 100 '#0000FF'
  e2e_expect_colour "$shot" 300 300 '#848284'
  e2e_expect_colour "$shot" 500 300 '#1045A5'   # 0x1234
  e2e_expect_colour "$shot" 700 300 '#AD796B'   # 0xABCD
  e2e_expect_colour "$shot" 700 500 '#4A4D4A'   # 0x4A69
  e2e_expect_colour "$shot" 200 300 '#FFFFFF'   # a frame line
  e2e_colour_is "$shot" 201 300 '#848284' || e2e_fail "the picture is off by a pixel"
}

read -r _ _ w h < <(e2e_client_rect)
[ "$w x $h" = "800 x 600" ] || e2e_fail "client area $w x $h"
e2e_wait_colour 100 100 '#FF0000'
e2e_shot "$E2E_DIR/window.png"
check_card "$E2E_DIR/window.png"
# Against the picture the program draws: every pixel of two cells within tolerance.
e2e_expect_region "$E2E_DIR/window.png" "$E2E_DIR/card.ppm" 400x200+200+200
# The tolerance is not so loose that a wrong picture passes.
convert "$E2E_DIR/card.ppm" -fill '#102040' -draw 'rectangle 250,250 259,259' "$E2E_DIR/spoilt.png"
[ "$(e2e_region_diff "$E2E_DIR/window.png" "$E2E_DIR/spoilt.png" 400x200+200+200)" -eq 100 ] ||
  e2e_fail "a 10 x 10 spot of another colour was not seen"

e2e_click 123 456
expect_said 'click 123 456'
e2e_click 0 0
expect_said 'click 0 0'
e2e_click 799 599
expect_said 'click 799 599'
e2e_key Escape
expect_said 'key 27 0'
e2e_type 'a'
expect_said 'char 97'
e2e_close_window
expect_said 'close'
e2e_running "$pid" || e2e_fail "the probe ended on a refused close"

# Full screen: the card fills the screen with its aspect kept; clicks still land.
e2e_key f
expect_said 'fullscreen 1'
e2e_until 10 sh -c "xwininfo -id $E2E_WINDOW | grep -q 'Width: 1024'" || e2e_fail "full screen did not fill the screen"
e2e_wait_colour 500 100 '#0000FF'
e2e_shot "$E2E_DIR/full.png"
check_card "$E2E_DIR/full.png"
e2e_click 650 420
expect_said 'click 650 420'
e2e_key f
expect_said 'fullscreen 0'

status=0
e2e_terminate "$pid" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the probe with status $status"
said end || e2e_fail "the probe did not end through its loop"
e2e_log "passed"
