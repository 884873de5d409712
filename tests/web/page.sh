#!/usr/bin/env bash
# The page in Chromium (page.mjs), with the Linux build's menu to compare it with, taken in
# a real window on a virtual display of its own (the harness of tests/e2e), and a saved
# table whose last entry any game beats.
#   page.sh SERVER RUNNER DIST LINUX-BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
server=$1 runner=$2 dist=$3 E2E_BUILD_DIR=$4
source "$here/../e2e/lib.sh"
e2e_init web-page
[ -f "$dist/index.html" ] || e2e_fail "the page is not built in $dist (tools/build-web.sh)"
[ -x /usr/bin/chromium ] || { e2e_log "SKIPPED: chromium is missing"; exit 77; }
[ -d "$here/node_modules/puppeteer-core" ] || (cd "$here" && npm ci --no-audit --no-fund --ignore-scripts >&2)

e2e_start_display 1024x768x24
e2e_start_game
e2e_wait_still "$E2E_DIR/linux-menu.png" 30
e2e_stop "$E2E_GAME_PID"

seed=
if [ -x "$E2E_BUILD_DIR/tests/e2e/e2e_seed_table" ]; then
  mkdir -p "$E2E_DIR/seed/Data/Save"
  "$E2E_BUILD_DIR/tests/e2e/e2e_seed_table" "$E2E_DIR/seed"
  seed=$E2E_DIR/seed/Data/Save
else
  e2e_log "no e2e_seed_table in $E2E_BUILD_DIR (a build without tests): nothing is sent from the page"
fi
status=0
node "$here/page.mjs" "$server" "$runner" "$dist" "$E2E_DIR/linux-menu.png" $seed || status=$?
exit "$status"
