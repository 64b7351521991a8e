#!/bin/bash
# The Ogg Vorbis codec driver (vorbis.acm) under Wine:
#  - decoding speed as a multiple of real time, through the audio compression
#    manager in blocks of 8 KB (tests/wine/tool_acm_decode.cpp), beside native
#    oggdec on the same file in the same run; 60 s of 44.1 kHz stereo pink
#    noise at oggenc's default quality (a pure tone decodes faster);
#  - CPU time (user + system) of TAPEON playing a 60 s 440 Hz tone as Ogg
#    Vorbis beside the same tone as MP3 (lame, 128 kbit/s), streaming.
#
#   tests/bench/codec_speed.sh [BUILD_DIR]
#
# BUILD_DIR is a Windows build (default build/win32) with TAPEON.EXE,
# tool_acm_decode and the codec built. Goals: at least 50 times real time,
# and Ogg playback at most 1.5 times the CPU of MP3 playback.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$repo/build/win32}" && pwd)
tapeon="$build/TAPEON.EXE"
tool="$build/tests/wine/tool_acm_decode.exe"
for exe in "$tapeon" "$tool" "$build/codec/vorbis.acm"; do
  [ -f "$exe" ] || { echo "missing $exe (ninja -C $build)" >&2; exit 1; }
done

source "$repo/tests/bench/bench_env.sh"
bench_start codec-bench
trap bench_end EXIT

sox -q -n -r 44100 -c 2 -b 16 -e signed-integer "$work/noise.wav" synth 60 pinknoise vol 0.5
sox -q -n -r 44100 -c 2 -b 16 -e signed-integer "$work/tone.wav" synth 60 sine 440 vol 0.5
oggenc -Q -o "$work/noise.ogg" "$work/noise.wav"
oggenc -Q -o "$work/tone.ogg" "$work/tone.wav"
lame --quiet -b 128 "$work/tone.wav" "$work/tone.mp3"
win() { winepath -w "$1"; }

echo "Decoding 60 s of 44.1 kHz stereo pink noise ($(($(stat -c %s "$work/noise.ogg") * 8 / 60000)) kbit/s):"
start=$(date +%s.%N)
oggdec -Q -o "$work/native.raw" "$work/noise.ogg"
native=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f", b - a }')
printf "  native oggdec        %s s, %.0f times real time\n" "$native" "$(awk -v t="$native" 'BEGIN { print 60 / t }')"
wine "$tool" "$(win "$work/noise.ogg")" "$(win "$work/acm.raw")" 8192 </dev/null >"$work/acm.log" 2>&1
echo "  vorbis.acm (Wine)    $(tr -d '\r' <"$work/acm.log" | tail -n 1)"

cpu() {
  /usr/bin/time -f "%U %S %e" -o "$1" wine "$tapeon" "$(win "$2")" /P </dev/null >/dev/null 2>&1
  awk '{ printf "%.2f", $1 + $2 }' "$1"
}
ogg=$(cpu "$work/ogg.time" "$work/tone.ogg")
mp3=$(cpu "$work/mp3.time" "$work/tone.mp3")
echo "CPU seconds (user + system) of TAPEON playing 60 s of a 440 Hz tone under Wine:"
printf "  Ogg Vorbis %6s   MP3 %6s   ratio %s\n" "$ogg" "$mp3" \
  "$(awk -v a="$ogg" -v b="$mp3" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
