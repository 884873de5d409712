#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix $WINEPREFIX (the build's own, never the
# user's ~/.wine), quietly, and headless unless WINE_DISPLAY names an X display:
#   WINEPREFIX=DIR wine.sh PROGRAM.exe ARGS...
#   WINEPREFIX=DIR wine.sh --prepare    makes a fresh prefix (exit 77: Wine cannot start)
#   WINEPREFIX=DIR wine.sh --end        ends the programs and the server of the prefix
# No Mono or Gecko: nothing is downloaded and no prompt appears.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;${WINEDLLOVERRIDES:-}"
if [ -n "${WINE_DISPLAY:-}" ]; then
  export DISPLAY=$WINE_DISPLAY
else
  unset DISPLAY WAYLAND_DISPLAY
fi

case "${1:-}" in
  --prepare)
    command -v wine >/dev/null && command -v wineboot >/dev/null ||
      { echo "SKIP: Wine is not installed (bash tools/setup.sh)" >&2; exit 77; }
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    if ! wineboot -i >"$WINEPREFIX.log" 2>&1 || ! wineserver -w; then
      echo "SKIP: Wine cannot start here: $(tail -n 3 "$WINEPREFIX.log")" >&2
      exit 77
    fi
    # The server stays up between the programs of the run, so each starts in a second.
    wineserver -p 120 </dev/null >/dev/null 2>&1
    echo "Wine prefix ready in $WINEPREFIX"
    ;;
  --end)
    wineserver -k 2>/dev/null || true
    ;;
  *)
    [ -f "$WINEPREFIX/system.reg" ] || { echo "SKIP: no Wine prefix in $WINEPREFIX (test wine.prefix)" >&2; exit 77; }
    # Wine's services start with the first program and keep the output they were given
    # open as long as they run: they get files, and the output follows when it ends.
    out=$(mktemp)
    err=$(mktemp)
    trap 'rm -f "$out" "$err"' EXIT
    status=0
    wine "$@" >"$out" 2>"$err" || status=$?
    cat "$out"
    cat "$err" >&2
    exit "$status"
    ;;
esac
