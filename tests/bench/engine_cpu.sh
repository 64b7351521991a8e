#!/bin/bash
# CPU time of TAPEON's streaming recording and playback under Wine, beside the
# minimal Win32 recorder and player (tests/wine/tool_minrec.cpp and
# tool_minplay.cpp: four 64 KB buffers, window-message callbacks, mmioWrite or
# mmioRead, nothing else) doing the same work in the same run.
#
#   tests/bench/engine_cpu.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR is a Windows build (default build/win32) with TAPEON.EXE and the
# tools built; SECONDS defaults to 60. Both recorders record a ramp that the
# host plays into the null sink, and the script checks that neither lost a
# sample. Goal: TAPEON at most 1.25 times the minimal program.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
seconds=${2:-60}
tapeon="$build/TAPEON.EXE"
minrec="$build/tests/wine/tool_minrec.exe"
minplay="$build/tests/wine/tool_minplay.exe"
for exe in "$tapeon" "$minrec" "$minplay"; do
  [ -f "$exe" ] || { echo "missing $exe (ninja -C $build TAPEON tool_minrec tool_minplay)" >&2; exit 1; }
done

source "$repo/tests/bench/bench_env.sh"
bench_start bench

cleanup() {
  [ -n "${player:-}" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null
  bench_end
}
trap cleanup EXIT

# The index ramp: frame i holds 1000 + i % 30000 and 1000 + i / 30000, so a
# lost or repeated sample shows as a break.
python3 - "$work" "$seconds" <<'PY'
import struct, sys, wave
work, seconds = sys.argv[1], int(sys.argv[2])
def ramp(path, frames):
    w = wave.open(path, 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(b''.join(struct.pack('<hh', 1000 + i % 30000, 1000 + i // 30000) for i in range(frames)))
    w.close()
ramp(work + '/signal.wav', (2 * seconds + 40) * 44100)  # both recordings, one after the other
ramp(work + '/play.wav', seconds * 44100)
PY

win() { winepath -w "$1"; }
# User and system seconds of one Wine program.
cpu() {
  local out=$1
  shift
  /usr/bin/time -f "%U %S %e" -o "$out" wine "$@" </dev/null >/dev/null 2>&1
}
breaks() {
  python3 - "$1" <<'PY'
import struct, sys, wave
w = wave.open(sys.argv[1], 'rb'); n = w.getnframes(); d = w.readframes(n)
prev, breaks = None, 0
for k in range(n):
    l, r = struct.unpack_from('<hh', d, 4 * k)
    v = (r - 1000) * 30000 + (l - 1000)
    if prev is not None and v != prev + 1: breaks += 1
    prev = v
print("%d frames, %d breaks" % (n, breaks))
PY
}
total() { awk '{ printf "%.2f", $1 + $2 }' "$1"; }

paplay "$work/signal.wav" &
player=$!
sleep 2
minutes=$(awk -v s="$seconds" 'BEGIN { printf "%g", s / 60 }')
cpu "$work/rec_tapeon.time" "$tapeon" "$(win "$work")\\tapeon.wav" "/R/S/H/44/T$minutes"
cpu "$work/rec_min.time" "$minrec" "$(win "$work")\\min.wav" "$seconds"
kill "$player" 2>/dev/null
wait "$player" 2>/dev/null
player=

cpu "$work/play_tapeon.time" "$tapeon" "$(win "$work")\\play.wav" /P
cpu "$work/play_min.time" "$minplay" "$(win "$work")\\play.wav"

rt=$(total "$work/rec_tapeon.time")
rm=$(total "$work/rec_min.time")
pt=$(total "$work/play_tapeon.time")
pm=$(total "$work/play_min.time")
echo "CPU seconds (user + system) for ${seconds} s of 44.1 kHz 16-bit stereo under Wine:"
printf "  recording  TAPEON %6s   minimal recorder %6s   ratio %s\n" "$rt" "$rm" \
  "$(awk -v a="$rt" -v b="$rm" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
printf "  playback   TAPEON %6s   minimal player   %6s   ratio %s\n" "$pt" "$pm" \
  "$(awk -v a="$pt" -v b="$pm" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
echo "  TAPEON recording:  $(breaks "$work/tapeon.wav")"
echo "  minimal recorder:  $(breaks "$work/min.wav")"
