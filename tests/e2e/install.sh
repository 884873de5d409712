#!/usr/bin/env bash
# The installed game: `cmake --install` into a temporary prefix puts the program, its
# data, the launcher, the desktop entry and the icons in place, and the launcher starts
# the game headless in the player's own folder (links to the installed data, saves of
# its own), from wherever it is called; SIGTERM ends it cleanly.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init install
e2e_need cmake identify
[ -x "$E2E_BUILD_DIR/game/sprayrush" ] || e2e_fail "the game is not built in $E2E_BUILD_DIR"

prefix="$E2E_DIR/pre fix"   # a space in the path must not break anything
cmake --install "$E2E_BUILD_DIR" --prefix "$prefix" >"$E2E_DIR/install.log" 2>&1 ||
  e2e_fail "cmake --install failed: $(tail -n 5 "$E2E_DIR/install.log")"

for f in bin/sprayrush lib/sprayrush/sprayrush; do
  [ -x "$prefix/$f" ] || e2e_fail "$f is not installed as a program"
done
for f in Res/Res1.dxg Res/Res3.dxg Res/Sounds.dxw Res/Languages.dxg Res/en/Res1.dxg Res/en/Res3.dxg \
  Music/Menu.xm Music/Race.xm; do
  cmp -s "$E2E_BUILD_DIR/game/Data/$f" "$prefix/share/sprayrush/Data/$f" || e2e_fail "Data/$f is not installed"
done
[ ! -e "$prefix/share/sprayrush/Data/Save" ] || e2e_fail "saves must not go to the installed data"
for size in 32 64 128; do
  got=$(identify -format '%m %wx%h' "$prefix/share/icons/hicolor/${size}x$size/apps/sprayrush.png") ||
    e2e_fail "no $size px icon"
  [ "$got" = "PNG ${size}x$size" ] || e2e_fail "the $size px icon is $got"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/sprayrush.svg" ] || e2e_fail "no scalable icon"
entry="$prefix/share/applications/sprayrush.desktop"
grep -qx "Exec=\"$prefix/bin/sprayrush\"" "$entry" || e2e_fail "the desktop entry starts $(grep ^Exec= "$entry")"
grep -qx 'Icon=sprayrush' "$entry" || e2e_fail "the desktop entry has no icon"
grep -qx "Exec=\"$prefix/bin/sprayrush\" --language en" "$entry" || e2e_fail "the desktop entry offers no English"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || e2e_fail "the desktop entry is not valid"
fi

# Starts the launcher from elsewhere with its own home (and game_args); sets pid.
game_args=()
start() {
  (cd / && exec env -u XDG_DATA_HOME HOME="$E2E_DIR/home" "$@" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    "$prefix/bin/sprayrush" "${game_args[@]}" >>"$E2E_DIR/game.log" 2>&1) &
  pid=$!
  e2e_track "$pid"
}

game_started() { [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$prefix/lib/sprayrush/sprayrush" ]; }

# The game runs in the player's folder and ends with status 0 on SIGTERM.
check_run() {
  local run=$1 status=0
  e2e_until 10 game_started ||
    e2e_fail "the launcher did not start the installed game: $(tail -n 5 "$E2E_DIR/game.log")"
  # From here SIGTERM asks the game to quit: status 0 only after a start that found all its data.
  e2e_until 20 e2e_catches_term "$pid" || e2e_fail "the game never got going: $(tail -n 5 "$E2E_DIR/game.log")"
  [ "$(readlink "/proc/$pid/cwd")" = "$run" ] || e2e_fail "the game runs in $(readlink "/proc/$pid/cwd"), not $run"
  e2e_terminate "$pid" || status=$?
  [ "$status" -eq 0 ] || e2e_fail "SIGTERM ended the game with status $status"
  for part in Res Music; do
    [ "$(readlink "$run/Data/$part")" = "$prefix/share/sprayrush/Data/$part" ] ||
      e2e_fail "$run/Data/$part does not link to the installed data"
  done
  [ -d "$run/Data/Save" ] && [ ! -L "$run/Data/Save" ] || e2e_fail "$run/Data/Save is not a folder of its own"
  # The game saved its options and table on the way out, into the player's folder.
  for save in options hs; do
    [ -f "$run/Data/Save/$save" ] || e2e_fail "no $save saved in $run/Data/Save"
  done
}

mkdir -p "$E2E_DIR/home" "$E2E_DIR/xdg"
start XDG_DATA_HOME="$E2E_DIR/xdg"
check_run "$E2E_DIR/xdg/sprayrush"
# The desktop entry's English: the launcher passes the language on, and the game keeps it.
game_args=(--language en)
start XDG_DATA_HOME="$E2E_DIR/xdg"
check_run "$E2E_DIR/xdg/sprayrush"
[ "$(cat "$E2E_DIR/xdg/sprayrush/Data/Save/language")" = $'en\r' ] || e2e_fail "the launcher did not pass --language"
game_args=()

# Without XDG_DATA_HOME (or with a relative one) the folder is ~/.local/share/sprayrush.
start XDG_DATA_HOME=relative/path
check_run "$E2E_DIR/home/.local/share/sprayrush"

# A link left by an earlier install elsewhere follows this one; the player's files stay.
ln -sfn /nonexistent/Data/Res "$E2E_DIR/xdg/sprayrush/Data/Res"
echo kept >"$E2E_DIR/xdg/sprayrush/Data/Save/mine"
start XDG_DATA_HOME="$E2E_DIR/xdg"
check_run "$E2E_DIR/xdg/sprayrush"
[ "$(cat "$E2E_DIR/xdg/sprayrush/Data/Save/mine")" = kept ] || e2e_fail "the launcher touched the player's files"
[ -z "$(ls -A "$prefix/share/sprayrush/Data/Res" |
  grep -v -e '^Res1.dxg$' -e '^Res3.dxg$' -e '^Sounds.dxw$' -e '^Languages.dxg$' -e '^en$')" ] ||
  e2e_fail "something was written into the installed data"
e2e_log "passed"
