#!/usr/bin/env bash
# A whole game to its end in the window, with our score server on this machine: the boat
# drives off, then the clock runs out three times, game over; the result makes the table,
# a name is typed, Yes sends it, and the result is on the server's table page; the menu
# shows the high scores; quitting saves the table with the new name; the game's replay,
# the request's wait included, re-plays headless to the saved score, and the server,
# sent it by the game, shows the result proven with the replay to download.
# Takes about 215 s.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init gameover
e2e_need xwininfo

window_inside='#10306A'  # the dialog window's face at surface (250, 260)
server=$E2E_BUILD_DIR/server/sprayrush-scores
[ -x "$server" ] || e2e_fail "the score server is not built"
[ -x "${E2E_SEED_TABLE:-}" ] || e2e_fail "e2e_seed_table is not built"

# The score server on a free port of this machine.
"$server" --port 0 --db "$E2E_DIR/scores.db" >"$E2E_DIR/server.log" 2>&1 &
e2e_track $!
e2e_until 10 grep -q 'listening on' "$E2E_DIR/server.log" || e2e_fail "the server did not start"
port=$(sed -n 's/.* port \([0-9]*\),.*/\1/p' "$E2E_DIR/server.log")
fetch() {  # a path of the server, head and body, through bash's own TCP
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET %s HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n' "$1" >&3
  cat <&3
  exec 3<&-
}
page() { fetch "/cgi/version.pl?prg=Sprayrush&show&type=${1:-0}"; }

# A table the game wrote itself whose last entry is -1, so that a game that scores nothing
# still makes it; the game sends to our server.
E2E_RUN_DIR=$E2E_DIR/run
mkdir -p "$E2E_RUN_DIR/Data/Save"
"$E2E_SEED_TABLE" "$E2E_RUN_DIR"
printf '127.0.0.1:%s\r\n' "$port" >"$E2E_RUN_DIR/Data/ScoreServer.txt"

e2e_start_display 1024x768x24
e2e_start_window_manager
e2e_start_game
e2e_wait_still "$E2E_DIR/menu.png" 20
e2e_click 650 134
e2e_wait_still "$E2E_DIR/boats.png" 5
e2e_click 450 260  # the third boat
sleep 2.5          # the level banner
e2e_hold Up
sleep 2
e2e_release Up
e2e_hold Down
sleep 1.5
e2e_release Down

# Three lives run out on the clock; game over; the new record asks for a name.
e2e_wait_colour 250 260 "$window_inside" 260
e2e_enter_name "Tester"
e2e_key y
# "Sending...", then the menu comes back with the high scores.
e2e_wait_colour 100 160 '#F6FAFF' 30
page >"$E2E_DIR/page.html" || e2e_fail "the table page cannot be read"
grep -q 'Tester' "$E2E_DIR/page.html" || e2e_fail "the result is not on the table page"

# Quitting saves the table with the new entry.
e2e_click 650 443
e2e_wait_colour 250 260 "$window_inside" 5
e2e_key y
e2e_until 10 eval '! e2e_running $E2E_GAME_PID' || e2e_fail "Yes did not end the game"
status=0
wait "$E2E_GAME_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "the game ended with status $status"
grep -q '^Tester' "$E2E_RUN_DIR/Data/Save/hs" || e2e_fail "the saved table has no Tester"
score=$(grep -A1 '^Tester' "$E2E_RUN_DIR/Data/Save/hs" | sed -n '2s/\r$//p')
kept=("$E2E_RUN_DIR"/Data/Replays/*.replay)
verdict=$(ASAN_OPTIONS=detect_leaks=0 "$E2E_BUILD_DIR/tools/sprayrush-run" --verify "${kept[0]}") ||
  e2e_fail "the game's replay does not come to its end: $verdict"
grep -q "^result=reproduced score=$score name=546573746572 .* table=1 sent=1 " <<<"$verdict" ||
  e2e_fail "the replay is not of the game sent with $score: $verdict"

# The replay followed the result to the server, which re-played it: the game is on the
# page once, proven, in the proven view, and what proves its race downloads: the game as
# it was kept, without what did nothing in it, re-playing to the same race and result.
e2e_until 60 eval 'page | grep -q "class=\"proven\""' || e2e_fail "the result was not proven: $(cat "$E2E_DIR/server.log")"
page >"$E2E_DIR/page.html"
[ "$(grep -o '>Tester<' "$E2E_DIR/page.html" | wc -l)" -eq 1 ] || e2e_fail "the game is not on the page once"
page 1 | grep -q ">$score<a class=\"proven\"" || e2e_fail "the proven view has no $score"
id=$(sed -n 's/.*href="\.\.\/replays?id=\([0-9]*\)".*/\1/p' "$E2E_DIR/page.html" | head -n1)
fetch "/replays?id=$id" >"$E2E_DIR/download"
size=$(sed -n 's/^Content-Length: \([0-9]*\)\r$/\1/p' "$E2E_DIR/download" | head -n1)
[ -n "$size" ] && [ "$size" -le "$(stat -c %s "${kept[0]}")" ] || e2e_fail "the download is no replay of the game"
tail -c "$size" "$E2E_DIR/download" >"$E2E_DIR/proof.replay"
proof=$(ASAN_OPTIONS=detect_leaks=0 "$E2E_BUILD_DIR/tools/sprayrush-run" --verify "$E2E_DIR/proof.replay") ||
  e2e_fail "the download does not re-play: $proof"
grep -q "^result=reproduced score=$score name=546573746572 .* race=${verdict##* race=}$" <<<"$proof" ||
  e2e_fail "the download proves another race or result: $proof (the game: $verdict)"
e2e_log passed
