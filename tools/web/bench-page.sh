#!/usr/bin/env bash
# The page's figures (bench-page.mjs) against a score server of its own serving
# build-web/dist; tools/bench-window.sh runs it after the desktop's figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
server=${BUILD:-build}/server/sprayrush-scores
[ -x "$server" ] && [ -f build-web/dist/index.html ] && [ -f build-web/floor/index.html ] || { echo "bench-page: build the server and the page first" >&2; exit 1; }
[ -d tests/web/node_modules/puppeteer-core ] || (cd tests/web && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
serve() {  # serve NAME FOLDER: a server of its own on the folder
  "$server" --port 0 --db "$work/$1.db" --web "$2" >"$work/$1.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q ' port ' "$work/$1.log" && break; sleep 0.1; done
}
serve game build-web/dist
serve floor build-web/floor
port() { sed -n 's/.* port \([0-9]*\).*/\1/p' "$work/$1.log"; }
node tools/web/bench-page.mjs "http://127.0.0.1:$(port game)" "http://127.0.0.1:$(port floor)"
