#!/usr/bin/env bash
# Runs a Windows program under wine64 inside the test bench of a build tree:
#   ORVIX_WINE_DIR=<build>/wine wine-run.sh EXE ARGS...
# The bench must have been started (scripts/wine-bench.sh start, or the
# wine_bench CTest fixture). This is the cross-compiling emulator of the
# Windows builds, so CTest runs every Windows test program through it.
# The exit status is the program's.
set -euo pipefail

if [ -z "${ORVIX_WINE_DIR:-}" ] || [ ! -f "$ORVIX_WINE_DIR/env.sh" ]; then
  echo "wine-run.sh: no running bench; set ORVIX_WINE_DIR to <build>/wine and run scripts/wine-bench.sh start \$ORVIX_WINE_DIR" >&2
  exit 125
fi
# shellcheck source=/dev/null
. "$ORVIX_WINE_DIR/env.sh"
exec "$ORVIX_WINE" "$@"
