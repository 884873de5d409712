# The end-to-end harness (tests/e2e/lib.sh) for the Windows build under Wine: the packaged
# game folder, started as a player starts it, in a Wine prefix of the scenario's own.
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
WINE_RUN=$E2E_SOURCE_DIR/tools/windows/wine.sh
WINE_DIST=$E2E_BUILD_DIR/dist
WINE_GAME_CHILD=yes  # whether the game is a child of the scenario (it is unless the shell started it)
: "${WINEPREFIX:?names the Wine prefix of the build (ctest --test-dir build-windows sets it)}"
export WINEPREFIX

wine_need_dist() {
  [ -f "$WINE_DIST/Sprayrush/Sprayrush.exe" ] && [ -f "$WINE_DIST/Sprayrush-setup.exe" ] ||
    e2e_fail "the Windows game is not packaged in $WINE_DIST (bash tools/build-windows.sh)"
}

# A Windows path of a file of this machine, as Wine sees it (drive Z:).
wine_path() { echo "Z:${1//\//\\}"; }

# Runs a Windows program to its end, on the display if there is one. Its output goes to a
# log: a service Wine starts on the way keeps the output it was given open after the test.
wine_run() { WINE_DISPLAY=${DISPLAY:-} bash "$WINE_RUN" "$@" >>"$E2E_DIR/wine.log" 2>&1; }

# Gives the scenario a Windows machine of its own: a fresh prefix, ended with the scenario.
# Wine's desktop process comes up with a session's first program and keeps its display, and
# what the shell starts (a shortcut) starts through it: in a session begun headless, by the
# unit tests or on another scenario's display, a shortcut opens no window.
wine_own_session() {
  WINEPREFIX=$E2E_DIR/prefix
  local status=0
  bash "$WINE_RUN" --prepare >>"$E2E_DIR/wine.log" 2>&1 || status=$?
  [ "$status" -ne 77 ] || { e2e_log "SKIP: Wine cannot start here"; exit 77; }
  [ "$status" -eq 0 ] || e2e_fail "no Wine prefix: $(tail -n 3 "$WINEPREFIX.log")"
  E2E_AT_EXIT+=('bash "$WINE_RUN" --end')
}

# Starts a Windows game program on the display from another working folder, as a shortcut
# does, and waits for its window; sets E2E_GAME_PID and E2E_WINDOW. The program is a Unix
# path, a Windows path, or "start" and a shortcut, which the shell opens: then the game is
# not our child, and its process is the one that owns the window.
wine_start_game() {
  local args=("$@")
  [ "${1:0:1}" = / ] && args=("$(wine_path "$1")")
  # A real display, and no sound device but what Wine finds (none here).
  (cd / && exec env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER WINE_DISPLAY="$DISPLAY" bash "$WINE_RUN" "${args[@]}" >>"$E2E_DIR/game.log" 2>&1) &
  E2E_GAME_PID=$!
  e2e_track "$E2E_GAME_PID"
  WINE_GAME_CHILD=yes
  if [ "$1" = start ]; then
    e2e_wait_window '^Sprayrush$' "" 60
    E2E_GAME_PID=$(xdotool getwindowpid "$E2E_WINDOW") || e2e_fail "the game window names no process"
    e2e_track "$E2E_GAME_PID"
    WINE_GAME_CHILD=
  else
    e2e_wait_window '^Sprayrush$' "$E2E_GAME_PID" 60
  fi
}

# Waits until the game has drawn its first picture (the window shows black before) and
# the menu has come to rest; the last shot in FILE.
wine_wait_menu() {
  [ -f "$E2E_DIR/black.png" ] || convert -size "${E2E_SURFACE_W}x$E2E_SURFACE_H" xc:black "$E2E_DIR/black.png"
  e2e_wait_change "$E2E_DIR/black.png" "${E2E_SURFACE_W}x$E2E_SURFACE_H+0+0" 60 1000
  e2e_wait_still "$1" 30
}

# Closes the window with its close box's keyboard twin and answers the quit question Yes;
# waits for the program to end with status 0.
wine_quit_game() {
  e2e_close_window
  e2e_wait_colour 250 260 '#10306A' 20  # the question's window: a Y before it is lost
  e2e_key y
  e2e_until 20 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "Yes did not end the game"
  [ -n "$WINE_GAME_CHILD" ] || return 0
  local status=0
  wait "$E2E_GAME_PID" || status=$?
  [ "$status" -eq 0 ] || e2e_fail "the game ended with status $status"
}
