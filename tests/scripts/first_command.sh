#!/bin/bash
# The README's first command as a user runs it: ./run.sh /R/T0.1 from another
# directory, with no display or sound server of the caller's, must exit 0 and
# leave a six-second T0.WAV there, and stop everything it started. Also: an
# option TAPEON ignores, a file name with a blank, and one in Japanese (under a
# Japanese locale). Prints one line per case and exits non-zero on a failure.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tapeon-first.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
# Each case, setup and build included (done by the steps before it in test.sh).
CASE_TIMEOUT=${TAPEON_FIRST_COMMAND_TIMEOUT:-600}

# Processes still running with this mark in their environment: whatever a
# case's run.sh started (display, sound server, Wine) inherited it.
marked() { grep -lsz "^TAPEON_FIRST_COMMAND_CASE=$1\$" /proc/[0-9]*/environ | cut -d/ -f3; }
left_behind() { marked "$1" | xargs -r ps -o comm= -p | xargs; }

# check_wave FILE MIN_SECONDS: header sizes match the file, 44.1 kHz 16-bit
# stereo PCM in the program's 44-byte layout, at least MIN_SECONDS of data.
check_wave() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
path, least = sys.argv[1], float(sys.argv[2])
data = open(path, 'rb').read()
if len(data) < 44 or data[:4] != b'RIFF' or data[8:16] != b'WAVEfmt ' or data[36:40] != b'data':
    sys.exit('not the 44-byte WAVE header')
riff, = struct.unpack_from('<I', data, 4)
tag, channels, rate, byte_rate, align, bits = struct.unpack_from('<HHIIHH', data, 20)
size, = struct.unpack_from('<I', data, 40)
if (tag, channels, rate, bits) != (1, 2, 44100, 16):
    sys.exit('format %d/%d ch/%d Hz/%d bit, not 44.1 kHz 16-bit stereo PCM' % (tag, channels, rate, bits))
if riff != len(data) - 8 or 44 + size + (size & 1) != len(data):
    sys.exit('header sizes %d/%d do not match the file of %d bytes' % (riff, size, len(data)))
if size / byte_rate < least:
    sys.exit('only %.2f s of data' % (size / byte_rate))
print('%.2f s' % (size / byte_rate))
PY
}

# run_case NAME DIR EXPECTED-FILE MIN-SECONDS [VAR=VALUE...] -- RUN.SH-ARGUMENTS...
run_case() {
  local name=$1 dir=$2 file=$3 least=$4
  shift 4
  local -a vars=()
  while [ "$1" != -- ]; do vars+=("$1"); shift; done
  shift
  mkdir -p "$dir"
  local mark=$RANDOM$RANDOM status result left
  # A run that never ends (a box nobody answers) is a failure, not a hang of
  # the whole suite: after the time-out, what is on its display is listed (a
  # box says why) and whatever the case started is ended.
  (cd "$dir" && exec env -u DISPLAY -u PULSE_SERVER -u TAPEON_WINE_ENV_ACTIVE TAPEON_FIRST_COMMAND_CASE=$mark \
     "${vars[@]}" "$repo/run.sh" "$@") >"$work/run.log" 2>&1 &
  local runner=$! waited=0 pid display=
  while kill -0 "$runner" 2>/dev/null && [ "$waited" -lt "$CASE_TIMEOUT" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  if kill -0 "$runner" 2>/dev/null; then
    for pid in $(marked "$mark"); do
      display=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | sed -n 's/^DISPLAY=//p')
      [ -n "$display" ] && break
    done
    [ -n "$display" ] && DISPLAY=$display xdotool search --name '' getwindowname %@ >"$work/windows.log" 2>&1
    marked "$mark" | xargs -r kill -9 2>/dev/null
    status=124
  fi
  wait "$runner" 2>/dev/null
  local ended=$?
  if [ "${status:-}" = 124 ]; then
    sleep 1
  else
    status=$ended
  fi
  left=$(left_behind "$mark")
  if [ "$status" -eq 124 ]; then
    result="did not end within $CASE_TIMEOUT s; its windows: $(grep -v '^$' "$work/windows.log" 2>/dev/null | sort -u | xargs)"
  elif [ "$status" -ne 0 ]; then
    result="exit code $status"
  elif ! result=$(check_wave "$dir/$file" "$least" 2>&1); then
    :
  elif [ -n "$left" ]; then
    result="left running: $left"
  else
    echo "first command $name: ok ($result)"
    return
  fi
  echo "first command $name: FAILED: $result"
  tail -n 20 "$work/run.log"
  failures=$((failures + 1))
}

run_case "run.sh /R/T0.1" "$work/plain" T0.WAV 5.5 -- /R/T0.1
run_case "with an ignored option and a blank in the name" "$work/blank" "my take.wav" 2.5 -- "my take.wav" /R/T0.05 /Q
run_case "with a Japanese name" "$work/japanese" "録音テスト.wav" 2.5 LC_ALL=ja_JP.UTF-8 -- "録音テスト.wav" /R/T0.05
exit $((failures > 0))
