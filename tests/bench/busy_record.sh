#!/bin/bash
# Streaming recording on a busy machine: TAPEON and the minimal recorder
# (tests/wine/tool_minrec.cpp) each record the index ramp for SECONDS at
# 44.1 kHz 16-bit stereo under Wine while two `yes >/dev/null` processes keep
# both cores busy; the lost and repeated samples of both files are counted.
# Goal: TAPEON loses no sample, and never more than the minimal recorder.
#
#   tests/bench/busy_record.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR is a Windows build (default build/win32) with TAPEON.EXE and
# tool_minrec.exe; SECONDS defaults to 600. TAPEON_RAISED=1 starts TAPEON
# (not the minimal recorder) at the raised priority ./run.sh gives it
# (scripts/wine_env.sh).
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
seconds=${2:-600}
tapeon="$build/TAPEON.EXE"
minrec="$build/tests/wine/tool_minrec.exe"
for exe in "$tapeon" "$minrec"; do
  [ -f "$exe" ] || { echo "missing $exe (ninja -C $build TAPEON tool_minrec)" >&2; exit 1; }
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
python3 - "$work/signal.wav" $((2 * seconds + 60)) <<'PY'
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
# those at each backward jump. The first and last frames are not judged.
lost() {
  python3 - "$1" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1], 'rb'); n = w.getnframes(); d = w.readframes(n)
prev, lost, repeated, breaks = None, 0, 0, 0
for l, r in struct.iter_unpack('<hh', d):
    v = (r - 1000) * 30000 + (l - 1000)
    if prev is not None and v != prev + 1:
        breaks += 1
        if v > prev: lost += v - prev - 1
        else: repeated += prev - v + 1
    prev = v
print("%d frames (%.1f s), %d breaks, %d samples lost, %d repeated" % (n, n / 44100.0, breaks, lost, repeated))
PY
}
win() { winepath -w "$1"; }

for _ in 1 2; do
  yes >/dev/null &
  load+=($!)
done
paplay "$work/signal.wav" &
player=$!
sleep 2
minutes=$(awk -v s="$seconds" 'BEGIN { printf "%g", s / 60 }')
"${raise[@]}" wine "$tapeon" "$(win "$work")\\tapeon.wav" "/R/S/H/44/T$minutes" </dev/null >/dev/null 2>&1
wine "$minrec" "$(win "$work")\\min.wav" "$seconds" </dev/null >/dev/null 2>&1
echo "Streaming recording, ${seconds} s of 44.1 kHz 16-bit stereo under Wine, two busy loops beside it:"
echo "  TAPEON at $priority: $(lost "$work/tapeon.wav")"
echo "  minimal recorder: $(lost "$work/min.wav")"
