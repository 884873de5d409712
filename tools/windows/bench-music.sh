#!/usr/bin/env bash
# The music floor of the Windows build under Wine (SPRAYRUSH_BENCH_MUSIC): bench-floor.sh --music.
exec bash "$(dirname "$0")/bench-floor.sh" --music "$@"
