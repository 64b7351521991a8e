#!/bin/bash
# Streaming recording on a busy machine: TAPEON and the minimal recorder
# (tests/wine/tool_minrec.cpp) each record the index ramp for SECONDS at
# 44.1 kHz 16-bit stereo under Wine while two `yes >/dev/null` processes keep
# both cores busy; the lost and repeated samples of both files are counted,
# and beside TAPEON's the dropouts TAPEON itself reported for the same run
# (tool_busy_record.exe reads the box it shows at the end).
# Goal: TAPEON loses no sample, never more than the minimal recorder, and
# what it reports lost is what the ramp lost.
#
#   tests/bench/busy_record.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR is a Windows build (default build/win32) with TAPEON.EXE,
# tool_minrec.exe and tool_busy_record.exe; SECONDS defaults to 600. With
# TAPEON_NO_LOAD=1 the busy loops are left out (the quiet machine), with
# TAPEON_ALONE=1 the minimal recorder too. TAPEON_RAISED=1 starts TAPEON
# (not the minimal recorder) at a raised priority (nice -10, wine_env_raise in
# scripts/wine_env.sh), to compare: ./run.sh starts TAPEON as it is, since
# raising it did not help (README, Performance).
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
seconds=${2:-600}
tapeon="$build/TAPEON.EXE"
minrec="$build/tests/wine/tool_minrec.exe"
recorder="$build/tests/wine/tool_busy_record.exe"
for exe in "$tapeon" "$minrec" "$recorder"; do
  [ -f "$exe" ] || { echo "missing $exe (ninja -C $build TAPEON tool_minrec tool_busy_record)" >&2; exit 1; }
done

source "$repo/tests/bench/bench_env.sh"
bench_start busy
raise=()
priority="normal priority"
if [ "${TAPEON_RAISED:-0}" = 1 ]; then
  wine_env_raise || { echo "$WINE_ENV_RAISE_REASON" >&2; bench_end; exit 1; }
  raise=(nice -n "$WINE_ENV_NICE")
  priority="raised priority (nice $WINE_ENV_NICE)"
fi

load=()
cleanup() {
  for pid in "${load[@]}" ${player:-}; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  bench_end
}
trap cleanup EXIT

# The index ramp: frame i holds 1000 + i % 30000 and 1000 + i / 30000.
recordings=2
[ "${TAPEON_ALONE:-0}" = 1 ] && recordings=1
python3 - "$work/signal.wav" $((recordings * seconds + 60)) <<'PY'
import struct, sys, wave
frames = int(sys.argv[2]) * 44100
w = wave.open(sys.argv[1], 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
chunk = 44100
for start in range(0, frames, chunk):
    w.writeframes(b''.join(struct.pack('<hh', 1000 + i % 30000, 1000 + i // 30000)
                           for i in range(start, min(frames, start + chunk))))
w.close()
PY

# Lost samples: the frames missing at each forward jump of the ramp; repeated:
# those at each backward jump. The first and last frames are not judged. The
# breaks of 40 ms or more are counted apart: TAPEON counts no lone shorter
# loss (shorter ones at consecutive blocks add up).
lost() {
  python3 - "$1" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1], 'rb'); n = w.getnframes(); d = w.readframes(n)
prev, lost, repeated, breaks, long_breaks, long_lost = None, 0, 0, 0, 0, 0
for l, r in struct.iter_unpack('<hh', d):
    v = (r - 1000) * 30000 + (l - 1000)
    if prev is not None and v != prev + 1:
        breaks += 1
        if v > prev:
            lost += v - prev - 1
            if v - prev - 1 >= 1764: long_breaks += 1; long_lost += v - prev - 1
        else: repeated += prev - v + 1
    prev = v
print("%d frames (%.1f s), %d breaks, %d samples lost, %d repeated; %d breaks of 40 ms or more: %d lost"
      % (n, n / 44100.0, breaks, lost, repeated, long_breaks, long_lost))
PY
}
win() { winepath -w "$1"; }

if [ "${TAPEON_NO_LOAD:-0}" != 1 ]; then
  for _ in 1 2; do
    yes >/dev/null &
    load+=($!)
  done
fi
paplay "$work/signal.wav" &
player=$!
sleep 2
# The tool starts TAPEON (from its build folder) and prints what it reported.
"${raise[@]}" wine "$recorder" "$(win "$work")\\tapeon.wav" "$seconds" </dev/null >"$work/tapeon.txt" 2>/dev/null
[ "${TAPEON_ALONE:-0}" = 1 ] || wine "$minrec" "$(win "$work")\\min.wav" "$seconds" </dev/null >/dev/null 2>&1
beside="two busy loops beside it"
[ "${TAPEON_NO_LOAD:-0}" = 1 ] && beside="no busy loops"
echo "Streaming recording, ${seconds} s of 44.1 kHz 16-bit stereo under Wine, $beside:"
echo "  TAPEON at $priority: $(lost "$work/tapeon.wav")"
echo "    its own count: $(tr -d '\r' <"$work/tapeon.txt" | sed -n 's/^TAPEON: //p')"
[ "${TAPEON_ALONE:-0}" = 1 ] || echo "  minimal recorder: $(lost "$work/min.wav")"
