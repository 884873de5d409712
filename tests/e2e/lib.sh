# Helpers for driving the game in a real window: a virtual X display with a window
# manager, the game started from build/game, keys and clicks as a person gives them,
# screenshots and colour checks with tolerance. Source it from a scenario (bash).
# Every process a scenario starts is ended when it exits, pass or fail.

E2E_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
E2E_BUILD_DIR=${E2E_BUILD_DIR:-$E2E_SOURCE_DIR/build}
E2E_SURFACE_W=800
E2E_SURFACE_H=600
# One thread per ImageMagick program: the pictures are small, and on a busy machine
# threads only wait for each other.
export MAGICK_THREAD_LIMIT=1
E2E_PIDS=()
E2E_AT_EXIT=()  # commands the clean-up runs after the processes have ended
E2E_DIR=
E2E_NAME=

e2e_log() { echo "[$E2E_NAME] $*" >&2; }

e2e_fail() {
  e2e_log "FAIL: $*"
  exit 1
}

# Starts a scenario: a work folder, and the clean-up of everything it starts.
e2e_init() {
  E2E_NAME=$1
  E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/sprayrush-e2e-$E2E_NAME.XXXXXX")
  trap e2e_cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
}

# Remembers a process to end at exit.
e2e_track() { E2E_PIDS+=("$1"); }

# Ends a process of this scenario: SIGTERM, and SIGKILL if it is still there after 2 s.
e2e_stop() {
  local pid=$1
  if e2e_running "$pid"; then
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 20); do e2e_running "$pid" || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid" 2>/dev/null || true
}

e2e_cleanup() {
  local status=$?
  set +e
  local i
  # Newest first: the game before its window manager before the display.
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do e2e_stop "${E2E_PIDS[i]}"; done
  for i in "${E2E_AT_EXIT[@]}"; do eval "$i"; done
  if [ "$status" -ne 0 ] && [ -n "$E2E_DIR" ] && [ -z "${E2E_KEEP:-}" ]; then
    # What the failure looked like, in the test's log.
    for log in "$E2E_DIR"/*.log; do
      [ -s "$log" ] && { e2e_log "--- $(basename "$log")"; tail -n 20 "$log" >&2; }
    done
  fi
  if [ -n "${E2E_KEEP:-}" ]; then
    e2e_log "kept $E2E_DIR"
  else
    rm -rf "$E2E_DIR"
  fi
  exit "$status"
}

# Every wait for something to happen allows this many times the seconds it names: a busy
# machine is slow, and a wait that succeeds ends as soon as it does anyway.
E2E_PATIENCE=${E2E_PATIENCE:-3}

# Polls a command until it succeeds; false after the timeout (seconds, times the patience).
e2e_until() {
  local timeout=$1
  shift
  local end=$((SECONDS + timeout * E2E_PATIENCE))
  until "$@"; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.1
  done
}

# A missing tool skips the scenario (CTest shows it as skipped).
e2e_need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { e2e_log "SKIP: $tool is needed (bash tools/setup.sh)"; exit 77; }
  done
}

# A virtual screen on a display number of its own, and exports DISPLAY; size as
# WIDTHxHEIGHTxDEPTH. Other X servers on the machine keep theirs: a number with a lock
# file or a socket is never taken, and the server counts as ours only once it holds the
# lock (two starting at once race for it) and answers a client. A server that does not
# get there is stopped and another number tried.
e2e_start_display() {
  E2E_DISPLAY_SIZE=${1:-1024x768x24}
  e2e_need Xvfb xdotool xprop
  local attempt
  for attempt in 1 2 3 4 5; do
    e2e_try_display && return 0
    e2e_log "the display did not start (attempt $attempt): $(tail -n 1 "$E2E_DIR/xvfb.log" 2>/dev/null)"
    sleep "0.$((RANDOM % 9 + 1))"
  done
  e2e_fail "Xvfb did not start"
}

# A display number nobody uses: no lock file and no socket, on the file system or in
# the abstract namespace. Starts at a random place so that harnesses starting together
# rarely meet.
e2e_free_display() {
  local i n start=$((RANDOM % 400))
  for ((i = 0; i < 400; i++)); do
    n=$((20 + (start + i) % 400))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    grep -q "@/tmp/.X11-unix/X$n\$" /proc/net/unix 2>/dev/null && continue
    echo "$n"
    return 0
  done
  return 1
}

e2e_try_display() {
  local n end
  n=$(e2e_free_display) || return 1
  # Without auto-repeat (-r): on a busy machine a key's release may come late, and the
  # repeat would press it again.
  Xvfb ":$n" -r -screen 0 "$E2E_DISPLAY_SIZE" -nolisten tcp >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_XSERVER_PID=$!
  e2e_track "$E2E_XSERVER_PID"
  end=$((SECONDS + 30))
  while e2e_running "$E2E_XSERVER_PID" && [ "$SECONDS" -lt "$end" ]; do
    if [ "$(tr -dc '0-9' 2>/dev/null <"/tmp/.X$n-lock")" = "$E2E_XSERVER_PID" ] &&
      xprop -display ":$n" -root >/dev/null 2>&1; then
      export DISPLAY=":$n"
      unset WAYLAND_DISPLAY
      return 0
    fi
    sleep 0.1
  done
  e2e_stop "$E2E_XSERVER_PID"
  return 1
}

# A window manager, so windows get frames, focus and close requests as on a desktop.
# If it does not come up, the display and the window manager start again together.
e2e_start_window_manager() {
  e2e_need openbox xprop
  local attempt
  for attempt in 1 2 3 4; do
    openbox --sm-disable >"$E2E_DIR/openbox.log" 2>&1 &
    E2E_WM_PID=$!
    e2e_track "$E2E_WM_PID"
    e2e_window_manager_up && return 0
    e2e_log "openbox did not start on $DISPLAY (attempt $attempt): $(tail -n 1 "$E2E_DIR/openbox.log")"
    e2e_stop "$E2E_WM_PID"
    e2e_stop "$E2E_XSERVER_PID"
    e2e_start_display "$E2E_DISPLAY_SIZE"
  done
  e2e_fail "openbox did not start"
}

e2e_window_manager_up() {
  local end=$((SECONDS + 30))
  while e2e_running "$E2E_WM_PID" && e2e_running "$E2E_XSERVER_PID" && [ "$SECONDS" -lt "$end" ]; do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && return 0
    sleep 0.1
  done
  return 1
}

# Starts the built game in a run folder of its own (the data linked, saves its own) and
# waits for its window; sets E2E_GAME_PID and E2E_WINDOW. Arguments go to the game.
e2e_start_game() {
  local game=$E2E_BUILD_DIR/game
  [ -x "$game/sprayrush" ] && [ -f "$game/Data/Res/Res1.dxg" ] || e2e_fail "the game is not built in $game"
  E2E_RUN_DIR=$E2E_DIR/run
  mkdir -p "$E2E_RUN_DIR/Data/Save"
  for sub in Res Music; do
    [ -e "$game/Data/$sub" ] && ln -sfn "$game/Data/$sub" "$E2E_RUN_DIR/Data/$sub"
  done
  # A real display; no sound device is needed. On a real display the libraries below SDL
  # keep allocations until exit; the game's own leaks are checked on the dummy driver.
  (cd "$E2E_RUN_DIR" && exec env -u SDL_VIDEODRIVER SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 \
    "$game/sprayrush" "$@" >>"$E2E_DIR/game.log" 2>&1) &
  E2E_GAME_PID=$!
  e2e_track "$E2E_GAME_PID"
  e2e_wait_window '^Sprayrush$' "$E2E_GAME_PID"
}

# Waits for a visible window whose caption matches (and of the process, if given);
# sets E2E_WINDOW.
e2e_wait_window() {
  local name=$1 pid=${2:-} timeout=${3:-20}
  E2E_WINDOW=
  local end=$((SECONDS + timeout * E2E_PATIENCE))
  while [ -z "$E2E_WINDOW" ]; do
    [ -n "$pid" ] && ! e2e_running "$pid" && e2e_fail "the program ended before its window appeared"
    [ "$SECONDS" -ge "$end" ] && e2e_fail "no window named $name"
    E2E_WINDOW=$(xdotool search --onlyvisible --name "$name" 2>/dev/null | head -n1 || true)
    [ -z "$E2E_WINDOW" ] && sleep 0.1
  done
  return 0
}

e2e_caption() { xdotool getwindowname "${1:-$E2E_WINDOW}"; }

# The window's drawing area on the screen: "X Y WIDTH HEIGHT" (frame not included).
e2e_client_rect() {
  xwininfo -id "${1:-$E2E_WINDOW}" |
    awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
         /^  Width:/ {w=$NF} /^  Height:/ {h=$NF} END {print x, y, w, h}'
}

# Where the picture lies on the screen: "LEFT TOP SCALE". It fills the client area with
# its aspect kept (whole-number scale from twice the size up), centred.
e2e_picture_place() {
  read -r cx cy cw ch < <(e2e_client_rect)
  awk -v cx="$cx" -v cy="$cy" -v cw="$cw" -v ch="$ch" -v w="$E2E_SURFACE_W" -v h="$E2E_SURFACE_H" 'BEGIN {
      s = cw / w; if (ch / h < s) s = ch / h
      if (s >= 2) s = int(s)
      printf "%d %d %.10g\n", cx + int((cw - w * s) / 2), cy + int((ch - h * s) / 2), s }'
}

# Where a surface pixel lies on the screen (the middle of it).
e2e_surface_to_screen() {
  read -r px py s < <(e2e_picture_place)
  awk -v sx="$1" -v sy="$2" -v px="$px" -v py="$py" -v s="$s" \
    'BEGIN { printf "%d %d\n", px + int((sx + 0.5) * s), py + int((sy + 0.5) * s) }'
}

# The surface pixel under the mouse pointer: "X Y" (outside the picture too).
e2e_pointer_on_surface() {
  local pX pY
  eval "$(xdotool getmouselocation --shell | grep -E '^[XY]=' | sed 's/^/p/')"
  read -r px py s < <(e2e_picture_place)
  awk -v x="$pX" -v y="$pY" -v px="$px" -v py="$py" -v s="$s" 'function floor(v) { return v == int(v) || v > 0 ? int(v) : int(v) - 1 }
    BEGIN { printf "%d %d\n", floor((x - px) / s), floor((y - py) / s) }'
}

# Gives the window the keyboard, as a click on its title would.
e2e_focus() {
  xdotool windowactivate --sync "$E2E_WINDOW" 2>/dev/null || xdotool windowfocus --sync "$E2E_WINDOW"
}

# Presses keys in the game window: e2e_key Return, e2e_key alt+Return, e2e_key Down Down.
# Each is held for a few frames, as a finger would: the game samples the keyboard once a
# frame, so a press and release within one frame would go unseen.
e2e_key() {
  e2e_focus
  local k
  for k in "$@"; do
    xdotool keydown "$k"
    sleep 0.08
    xdotool keyup "$k"
    sleep 0.06
  done
}

# Holds keys down until e2e_release (throttle, steering, fire).
e2e_hold() {
  e2e_focus
  local k
  for k in "$@"; do xdotool keydown "$k"; done
}
e2e_release() {
  local k
  for k in "$@"; do xdotool keyup "$k"; done
}

# Types text as key presses.
e2e_type() {
  e2e_focus
  xdotool type --delay 60 "$1"
}

# Moves the mouse to a surface pixel (hover).
e2e_hover() {
  read -r x y < <(e2e_surface_to_screen "$1" "$2")
  # --sync waits for a movement, in vain (15 s) when the pointer is there already.
  [ "$(xdotool getmouselocation | cut -d' ' -f1,2)" = "x:$x y:$y" ] || xdotool mousemove --sync "$x" "$y"
}

# Clicks at a surface pixel (left button unless a third argument says 3 or 2).
e2e_click() {
  e2e_hover "$1" "$2"
  sleep 0.05
  xdotool click "${3:-1}"
}

# The window closed as a person would (the window manager's close, Alt+F4).
e2e_close_window() {
  e2e_focus
  xdotool key alt+F4
}

# A screenshot of the client area in surface pixels (scaled back in full screen) to FILE.
e2e_shot() {
  local file=$1 area
  read -r px py s < <(e2e_picture_place)
  area=$(awk -v px="$px" -v py="$py" -v s="$s" -v w="$E2E_SURFACE_W" -v h="$E2E_SURFACE_H" 'BEGIN {
      x0 = px + int(0.5 * s); y0 = py + int(0.5 * s)
      x1 = px + int((w - 0.5) * s); y1 = py + int((h - 0.5) * s)
      printf "%dx%d+%d+%d\n", x1 - x0 + 1, y1 - y0 + 1, x0, y0 }')
  import -silent -window root -crop "$area" +repage -filter point -resize "${E2E_SURFACE_W}x${E2E_SURFACE_H}!" "$file"
}

# The colour of a pixel of a picture file: "R G B", 0..255.
e2e_pixel() {
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- |
    sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# A colour as the 16-bit screen shows it: #RRGGBB reduced to 5-6-5 and widened again.
e2e_screen_colour() {
  local hex=${1#\#}
  local r=$((16#${hex:0:2})) g=$((16#${hex:2:2})) b=$((16#${hex:4:2}))
  r=$((r >> 3)) g=$((g >> 2)) b=$((b >> 3))
  echo $(((r << 3) | (r >> 2))) $(((g << 2) | (g >> 4))) $(((b << 3) | (b >> 2)))
}

# Whether the pixel at surface (X, Y) of FILE shows #RRGGBB, within TOLERANCE per
# channel (default 2: the 16-bit picture reads back +-1).
e2e_colour_is() {
  local file=$1 x=$2 y=$3 want tol=${5:-2}
  want=$(e2e_screen_colour "$4")
  local got
  got=$(e2e_pixel "$file" "$x" "$y")
  [ -n "$got" ] || return 1
  awk -v got="$got" -v want="$want" -v tol="$tol" 'BEGIN {
    split(got, g, " "); split(want, w, " ")
    for (i = 1; i <= 3; i++) { d = g[i] - w[i]; if (d < 0) d = -d; if (d > tol) exit 1 } }'
}

e2e_expect_colour() {
  e2e_colour_is "$@" ||
    e2e_fail "pixel ($2, $3) is $(e2e_pixel "$1" "$2" "$3"), expected $4 ($(e2e_screen_colour "$4"))"
}

# Waits until the window shows #RRGGBB at surface (X, Y); keeps the last shot in
# $E2E_DIR/last.png.
e2e_wait_colour() {
  local x=$1 y=$2 colour=$3 timeout=${4:-10}
  e2e_until "$timeout" e2e_shot_shows "$x" "$y" "$colour" ||
    e2e_fail "($x, $y) never showed $colour; last $(e2e_pixel "$E2E_DIR/last.png" "$x" "$y")"
}
e2e_shot_shows() {
  e2e_shot "$E2E_DIR/last.png" && e2e_colour_is "$E2E_DIR/last.png" "$1" "$2" "$3"
}

# How many pixels of a region differ between two pictures by more than the tolerance
# (a percentage of full scale per pixel, default 2 %). Region as WxH+X+Y.
e2e_region_diff() {
  local a=$1 b=$2 region=$3 fuzz=${4:-2%}
  # compare's status says "they differ"; the count is what matters. Cropped as they are
  # read: one program instead of three, which a busy machine notices.
  { compare -metric AE -fuzz "$fuzz" "$a[$region]" "$b[$region]" null: 2>&1 || true; } |
    awk '$1 ~ /^[0-9.e+]+$/ {print int($1); ok = 1} END {exit !ok}'
}

e2e_expect_region() {
  local a=$1 b=$2 region=$3 most=${4:-0} diff
  diff=$(e2e_region_diff "$a" "$b" "$region")
  [ -n "$diff" ] && [ "$diff" -le "$most" ] || e2e_fail "$region differs in ${diff:-?} pixels (at most $most)"
}

# Waits until the picture stands still (two shots a moment apart agree in REGION, default
# the whole surface) and leaves the last shot in FILE.
e2e_wait_still() {
  local file=$1 timeout=${2:-10} region=${3:-${E2E_SURFACE_W}x${E2E_SURFACE_H}+0+0}
  local end=$((SECONDS + timeout * E2E_PATIENCE))
  e2e_shot "$E2E_DIR/still.png"
  while :; do
    sleep 0.2
    e2e_shot "$file"
    [ "$(e2e_region_diff "$E2E_DIR/still.png" "$file" "$region")" = 0 ] && return 0
    [ "$SECONDS" -ge "$end" ] && e2e_fail "the picture never stood still in $region"
    cp "$file" "$E2E_DIR/still.png"
  done
}

# Waits until REGION (WxH+X+Y) of the window differs from the picture REF, or (with
# e2e_wait_same) agrees with it again; at most MOST pixels apart counts as the same.
e2e_wait_change() {
  e2e_until "${3:-10}" e2e_region_matches "$1" "$2" "${4:-0}" no ||
    e2e_fail "$2 never changed from $(basename "$1")"
}
e2e_wait_same() {
  e2e_until "${3:-10}" e2e_region_matches "$1" "$2" "${4:-0}" yes ||
    e2e_fail "$2 never came back to $(basename "$1")"
}
e2e_region_matches() {
  local diff
  e2e_shot "$E2E_DIR/last.png"
  diff=$(e2e_region_diff "$1" "$E2E_DIR/last.png" "$2") || return 1
  if [ "$4" = yes ]; then [ "$diff" -le "$3" ]; else [ "$diff" -gt "$3" ]; fi
}

# Types NAME into the record's name dialog and confirms it; returns once the send question
# is up. The dialog's cursor blinks below the name line, so the regions stop above it.
e2e_enter_name() {
  e2e_wait_still "$E2E_DIR/name.png" 5 380x160+210+200
  e2e_type "$1"
  e2e_wait_change "$E2E_DIR/name.png" 300x38+250+325
  cp "$E2E_DIR/last.png" "$E2E_DIR/typed.png"
  e2e_key Return
  e2e_wait_change "$E2E_DIR/typed.png" 300x38+250+325
}

# Whether a process runs (an ended child waiting to be collected does not).
e2e_running() {
  local state
  state=$(sed -n 's/^.*) \([A-Z]\).*$/\1/p' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# Whether a process has its own handler for SIGTERM (SDL sets one up when it starts, and
# from then on SIGTERM is a quit request the game answers).
e2e_catches_term() {
  local mask
  mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && (((16#$mask >> 14) & 1))
}

# Ends a program of this scenario with SIGTERM and gives its exit status (124 if it
# would not end in time).
e2e_terminate() {
  local pid=$1 timeout=${2:-10}
  kill -TERM "$pid" 2>/dev/null || return 1
  e2e_until "$timeout" eval "! e2e_running $pid" || return 124
  wait "$pid"
}
