#!/bin/bash
# CPU time of TAPEON playing 60 s of MP3 and of Ogg Vorbis under Wine with the
# meter's decoded level source (the bytes handed to the device converted once
# more to 16-bit PCM and measured) against the same playback with that source
# switched off, one run each, streaming and with the level report off.
#
#   tests/bench/meter_decode_cpu.sh [BUILD_DIR] [SECONDS]
#
# BUILD_DIR is a Windows build (default build/win32) with the test build
# TAPEON_test_switches.EXE made (ninja -C build/win32 TAPEON_test_switches):
# it alone reads the switch TAPEON_METER_SOURCE_OFF. The Ogg Vorbis codec
# driver is installed by the Wine environment. Goal: at most 1.3 times.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
seconds=${2:-60}
tapeon="$build/tests/wine/TAPEON_test_switches.EXE"
[ -f "$tapeon" ] || { echo "missing $tapeon (ninja -C $build TAPEON_test_switches)" >&2; exit 1; }

source "$repo/tests/bench/bench_env.sh"
bench_start meter
trap bench_end EXIT

sox -q -n -r 44100 -c 2 -b 16 -e signed-integer "$work/tone.wav" synth "$seconds" sine 440 sine 1000 \
  remix 1v0.4 2v0.1
lame --quiet -b 128 "$work/tone.wav" "$work/tone.mp3"
oggenc -Q -q 4 -o "$work/tone.ogg" "$work/tone.wav"

win() { winepath -w "$1"; }
# User plus system seconds of one playback to its end (/P closes TAPEON).
cpu() {
  /usr/bin/time -f "%U %S %e" -o "$work/time" "$@" </dev/null >/dev/null 2>&1
  awk '{ printf "%.2f s CPU, %.1f s wall", $1 + $2, $3 }' "$work/time"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

for kind in mp3 ogg; do
  file="$(win "$work/tone.$kind")"
  on=$(cpu wine "$tapeon" "$file" /P)
  off=$(cpu env TAPEON_METER_SOURCE_OFF=1 wine "$tapeon" "$file" /P)
  echo "$kind: decoded meter $on; meter source off $off; ratio $(ratio "${on%% s*}" "${off%% s*}")"
done
