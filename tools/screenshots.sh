#!/usr/bin/env bash
# Every screen of the built game in one language, as a player sees it, one PNG each: the
# menu, the boat choice, the options, the three help pages, the high scores, a race, and
# each of the ten questions and banners of a game. For judging a language's pictures and
# texts on the screens they appear on (a translator's check); nothing is tested.
#
#   tools/screenshots.sh [--language en|ru] [folder]   (default: build-screens/<code>; without
#                                                      --language the game's own choice)
#
# Plays a game in real time on a virtual display of its own (Xvfb, openbox, xdotool and
# ImageMagick, as the end-to-end tests): the clock runs out three times, so it takes about
# four minutes. Uses the game built in build/ (E2E_BUILD_DIR names another).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
code=ru
language=()
if [ "${1:-}" = --language ]; then
  code=${2:?--language needs en or ru}
  language=(--language "$code")
  shift 2
fi
OUT=$(realpath -m "${1:-$ROOT/build-screens/$code}")
source "$ROOT/tests/e2e/lib.sh"
e2e_init screenshots
mkdir -p "$OUT"
shot() { e2e_shot "$OUT/$1.png"; e2e_log "$1"; }
still() { e2e_wait_still "$OUT/$1.png" 10 "${2:-800x600+0+0}"; e2e_log "$1"; }
slot() { e2e_click 650 $((${1} == 1 ? 134 : ${1} == 2 ? 194 : ${1} == 3 ? 257 : ${1} == 4 ? 319 : ${1} == 5 ? 381 : 443)); }
window_inside='#10306A'  # a question's window at surface (250, 260)
# Whether the banner text (yellow) stands in the middle of the river.
banner_up() {
  e2e_shot "$E2E_DIR/last.png"
  local n
  n=$(convert "$E2E_DIR/last.png" -crop 432x150+180+220 +repage -fuzz 12% -fill black +opaque '#FFF100' \
        -fill white -opaque '#FFF100' -format '%[fx:int(mean*w*h)]' info:)
  [ "$n" -gt 80 ]
}
wait_banner() { e2e_until "$1" banner_up || e2e_fail "no banner came up for $2"; }
wait_no_banner() { e2e_until "$1" eval '! banner_up' || e2e_fail "the banner of $2 did not go"; }

# A table whose last place any score takes, so the game asks for a name; results go to a
# server that takes the connection and never answers, so "sending" stays up for the
# client's 5 s.
E2E_RUN_DIR=$E2E_DIR/run
mkdir -p "$E2E_RUN_DIR/Data/Save"
"$E2E_BUILD_DIR/tests/e2e/e2e_seed_table" "$E2E_RUN_DIR"
python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(4); print(s.getsockname()[1], flush=True)
held = []
while True: held.append(s.accept())' >"$E2E_DIR/mute.port" &
e2e_track $!
e2e_until 5 test -s "$E2E_DIR/mute.port" || e2e_fail "the silent server did not start"
printf '127.0.0.1:%s\r\n' "$(cat "$E2E_DIR/mute.port")" >"$E2E_RUN_DIR/Data/ScoreServer.txt"
e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game "${language[@]}"

still menu
slot 1; still boats; e2e_key Escape
slot 2; still options
slot 4; still help1; e2e_key Right; still help2; e2e_key Right; still help3
slot 3; still scores
e2e_click 345 506; still question-clear; e2e_key n
slot 6; still question-quit; e2e_key n

# A race: the level banner, the pause, the leave question, then the race itself.
slot 1; still boats-again; e2e_click 108 317
wait_banner 5 banner-level; shot banner-level
wait_no_banner 5 banner-level
e2e_key p; still banner-pause; e2e_key p
e2e_key Escape; still question-leave; e2e_key n
e2e_hold Up; sleep 2; shot race; e2e_release Up
e2e_hold Down; sleep 1.5; e2e_release Down

# The clock runs out (or a crash costs a life) until the game is over; each end of a round
# shows its banner, the last one "game over", which leads to the name question.
for round in 1 2 3; do
  wait_banner 80 "the end of round $round"; shot "banner-round-$round"
  e2e_until 4 e2e_shot_shows 250 260 "$window_inside" && break
  wait_no_banner 10 "round $round"
done
still question-name 380x160+210+200  # its cursor blinks below
e2e_type "Tester"; sleep 0.5; shot question-name-typed
e2e_key Return; still question-send
e2e_key y; sleep 1; shot notice-sending
e2e_wait_colour 100 160 '#F6FAFF' 30
still scores-after-game
e2e_terminate "$E2E_GAME_PID" >/dev/null || true
e2e_log "the screens are in $OUT"
