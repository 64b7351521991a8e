#!/bin/bash
# Streaming playback on a busy machine: TAPEON plays SECONDS of the index ramp
# at 44.1 kHz 16-bit stereo under Wine while two `yes >/dev/null` processes
# keep both cores busy; tool_busy_play.exe watches every buffer TAPEON hands
# to waveOutWrite and reports whether the samples arrived whole and the
# largest gap between two submissions against the buffer length.
# Goal: no buffer late enough to starve the device.
#
#   tests/bench/busy_play.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR is a Windows build (default build/win32); SECONDS defaults to 600.
# TAPEON_RAISED=1 starts the watching tool, and so TAPEON, which inherits it,
# at a raised priority (nice -10, wine_env_raise in scripts/wine_env.sh), to
# compare: ./run.sh starts TAPEON as it is, since raising it did not help
# (README, Performance).
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
seconds=${2:-600}
tool="$build/tests/wine/tool_busy_play.exe"
[ -f "$tool" ] || { echo "missing $tool (ninja -C $build tool_busy_play)" >&2; exit 1; }

source "$repo/scripts/wine_env.sh"
wine_env_start || exit 1
load=()
log=$(mktemp "${TMPDIR:-/tmp}/tapeon-busy-play.XXXXXX")
cleanup() {
  for pid in "${load[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -f "$log"
  wine_env_stop
}
trap cleanup EXIT
priority="normal priority"
if [ "${TAPEON_RAISED:-0}" = 1 ]; then
  wine_env_raise || { echo "$WINE_ENV_RAISE_REASON" >&2; exit 1; }
  priority="raised priority (nice $WINE_ENV_NICE)"
fi
for _ in 1 2; do
  yes >/dev/null &
  load+=($!)
done
wine_env_run "$log" "$tool" "$seconds"
status=$?
echo "Streaming playback at $priority, ${seconds} s of 44.1 kHz 16-bit stereo under Wine, two busy loops beside it:"
tr -d '\r' <"$log" | grep -v -e '^ALSA lib' | sed 's/^/  /'
exit $status
