#!/bin/bash
# Builds TAPEON.EXE and runs it under Wine in the current directory:
#   ./run.sh [TAPEON options]
# e.g. ./run.sh /R/T0.1 records six seconds into T0.WAV here and exits.
# Without a display or sound server, a headless one is started for the run
# and stopped afterwards, and a line says where TAPEON runs. The exit code is
# TAPEON's.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build="$repo/build/win32"

"$repo/scripts/setup.sh" || exit 1
source "$repo/scripts/build_tree.sh"
build_tree_win32 "$build" TAPEON || exit 1

source "$repo/scripts/wine_env.sh"
wine_env_start || exit 1
trap wine_env_stop EXIT
if wine_env_headless; then
  echo "run.sh: TAPEON runs on the virtual display $DISPLAY, which nobody sees; Ctrl+C ends it;" \
    "a picture of it: DISPLAY=$DISPLAY $repo/scripts/screenshot.sh tapeon.png running" >&2
fi

log=$(mktemp "${TMPDIR:-/tmp}/tapeon-run.XXXXXX")
wine_env_run "$log" "$build/TAPEON.EXE" "$@"
status=$?
# Wine's own diagnostics, if any, for the curious; TAPEON itself prints nothing.
if [ -s "$log" ]; then
  grep -v -e '^ALSA lib' "$log" >&2
fi
rm -f "$log"
exit $status
