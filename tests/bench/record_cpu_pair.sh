#!/bin/bash
# CPU time of two builds of TAPEON recording the same thing: 60 s of the
# index ramp at 44.1 kHz 16-bit stereo, streaming, one after the other in
# turn, PAIRS times (default 3), with the ratio B/A of each pair. For the
# cost of a change to recording (the header kept true after every block).
#
#   tests/bench/record_cpu_pair.sh A/TAPEON.EXE B/TAPEON.EXE [PAIRS]
#
# A is typically a build of the commit before the change (git archive it,
# then cmake and ninja TAPEON as for build/win32).
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
first=$(realpath "${1:?usage: record_cpu_pair.sh A.EXE B.EXE [PAIRS]}")
second=$(realpath "${2:?usage: record_cpu_pair.sh A.EXE B.EXE [PAIRS]}")
pairs=${3:-3}

source "$repo/tests/bench/bench_env.sh"
bench_start pair
cleanup() {
  [ -n "${player:-}" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null
  bench_end
}
trap cleanup EXIT

python3 - "$work/signal.wav" $((2 * pairs * 70 + 30)) <<'PY'
import struct, sys, wave
frames = int(sys.argv[2]) * 44100
w = wave.open(sys.argv[1], 'wb'); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
for start in range(0, frames, 44100):
    w.writeframes(b''.join(struct.pack('<hh', 1000 + i % 30000, 1000 + i // 30000)
                           for i in range(start, min(frames, start + 44100))))
w.close()
PY
paplay "$work/signal.wav" &
player=$!
sleep 2
# User and system seconds of one 60 s recording.
cpu() {
  /usr/bin/time -f "%U %S" -o "$work/time" wine "$1" "$(winepath -w "$work")\\take.wav" /R/S/H/44/T1 \
    </dev/null >/dev/null 2>&1
  awk '{ printf "%.2f", $1 + $2 }' "$work/time"
}
echo "CPU seconds (user + system) of 60 s of streaming recording; A = $first, B = $second:"
for _ in $(seq 1 "$pairs"); do
  a=$(cpu "$first")
  b=$(cpu "$second")
  echo "  A $a  B $b  B/A $(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')"
done
