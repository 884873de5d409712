#!/usr/bin/env bash
# The Windows game as a player meets it, under Wine: unpacked into a folder whose path has
# spaces and Cyrillic letters and started from another working folder, it finds its data
# beside it; the menu slides in and looks as the Linux build's does; the close box brings
# the quit question and Y ends it; both save files are the bytes the Linux build writes on
# its first run; the language switch turns the menu English, and that is kept beside them.
# Then a race in English: a boat is chosen, the throttle moves the course, Escape asks
# and Yes leaves for the high scores; Alt+Enter switches to full screen and back.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init wine-game
e2e_need xwininfo cmp
wine_need_dist

e2e_start_display 1024x768x24
e2e_start_window_manager
wine_own_session
xdotool mousemove 0 0  # the pointer off the window, so no button is lit

# The Linux build's first run, to compare with.
linux=
if [ -x "$E2E_LINUX_GAME/sprayrush" ]; then
  linux=yes
  E2E_BUILD_DIR=$(dirname "$E2E_LINUX_GAME") e2e_start_game
  e2e_wait_still "$E2E_DIR/linux-menu.png" 30
  wine_quit_game
  cp -r "$E2E_RUN_DIR/Data/Save" "$E2E_DIR/linux-save"
else
  e2e_log "no Linux game in $E2E_LINUX_GAME: the Windows game is not compared with it"
fi

folder="$E2E_DIR/Мои игры/Sprayrush game"
mkdir -p "$(dirname "$folder")"
cp -r "$WINE_DIST/Sprayrush" "$folder"
[ ! -e "$folder/Data/Save" ] || e2e_fail "the packaged folder holds saves"

wine_start_game "$folder/Sprayrush.exe"
[ "$(e2e_caption)" = Sprayrush ] || e2e_fail "caption '$(e2e_caption)'"
read -r _ _ w h < <(e2e_client_rect)
[ "$w x $h" = "800 x 600" ] || e2e_fail "client area $w x $h"
wine_wait_menu "$E2E_DIR/windows-menu.png"
if [ -n "$linux" ]; then
  # The same fonts, libraries and drawing: the same picture, give or take a few pixels.
  diff=$(e2e_region_diff "$E2E_DIR/linux-menu.png" "$E2E_DIR/windows-menu.png" 800x600+0+0)
  e2e_log "the menu differs from the Linux build's in $diff pixels"
  [ "$diff" -le 200 ] || e2e_fail "the menu differs from the Linux build's in $diff pixels"
fi
column=230x370+556+112
e2e_click 60 571  # the language switch
e2e_wait_change "$E2E_DIR/windows-menu.png" "$column" 10
wine_quit_game
for save in options hs; do
  [ -f "$folder/Data/Save/$save" ] || e2e_fail "no $save saved beside the program"
  [ -z "$linux" ] || cmp "$E2E_DIR/linux-save/$save" "$folder/Data/Save/$save" ||
    e2e_fail "$save differs from the Linux build's"
done
[ "$(cat "$folder/Data/Save/language")" = $'en\r' ] || e2e_fail "the language was not kept beside the saves"

# A race, a question over it, and the display modes; the game speaks English.
wine_start_game "$folder/Sprayrush.exe"
wine_wait_menu "$E2E_DIR/menu.png"
[ "$(e2e_region_diff "$E2E_DIR/windows-menu.png" "$E2E_DIR/menu.png" "$column")" -gt 1000 ] ||
  e2e_fail "the second start does not speak English"
e2e_click 650 134  # start
e2e_wait_still "$E2E_DIR/boats.png" 10
e2e_click 100 260  # the first boat
e2e_wait_change "$E2E_DIR/boats.png" 300x300+100+150 10
e2e_shot "$E2E_DIR/banner.png"  # the level banner over the still course, then it goes
e2e_wait_change "$E2E_DIR/banner.png" 300x70+250+250 10
e2e_shot "$E2E_DIR/race-start.png"
e2e_hold Up
sleep 2
e2e_shot "$E2E_DIR/race.png"
e2e_release Up
[ "$(e2e_region_diff "$E2E_DIR/race-start.png" "$E2E_DIR/race.png" 110x80+690+520)" -gt 100 ] ||
  e2e_fail "the speedometer did not move"
e2e_key Escape
e2e_wait_colour 250 260 '#10306A' 10
e2e_shot "$E2E_DIR/dialog.png"
e2e_key y
e2e_wait_colour 100 160 '#F6FAFF' 20
e2e_key alt+Return
e2e_until 10 eval '[ "$(e2e_client_rect | cut -d" " -f3,4)" = "1024 768" ]' ||
  e2e_fail "Alt+Enter did not fill the screen: $(e2e_client_rect)"
e2e_wait_still "$E2E_DIR/full.png" 10
e2e_key alt+Return
e2e_until 10 eval '[ "$(e2e_client_rect | cut -d" " -f3,4)" = "800 600" ]' ||
  e2e_fail "Alt+Enter did not bring the window back: $(e2e_client_rect)"
wine_quit_game
e2e_log passed
