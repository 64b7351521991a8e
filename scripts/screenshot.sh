#!/bin/bash
# Starts TAPEON under the headless Wine environment, takes a picture of its
# main window and writes it as PNG:
#   scripts/screenshot.sh OUTPUT.png [english|japanese] [TAPEON options]
#   DISPLAY=:N scripts/screenshot.sh OUTPUT.png running
# The second form starts nothing: it takes the TAPEON already running on
# display :N (as ./run.sh names it when it runs TAPEON on a virtual one).
# TAPEON runs in a scratch directory with its own profile, so no settings
# file of yours is touched. With /R among the options a tone (louder on the
# left) is played into the sound server first, so the picture shows the
# recording's meter moving. Build TAPEON.EXE first (./run.sh or ./test.sh),
# or set TAPEON_EXE to the program to show.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
output=${1:?usage: screenshot.sh OUTPUT.png [english|japanese] [TAPEON options]}
language=${2:-english}
shift $(($# >= 2 ? 2 : 1))
exe=${TAPEON_EXE:-$repo/build/win32/TAPEON.EXE}
[ -f "$exe" ] || { echo "screenshot: $exe is not built" >&2; exit 1; }
# The X window of TAPEON's main window: its title ends in "TAPEON".
find_window() {
  xwininfo -root -tree 2>/dev/null |
    sed -n 's/^ *\(0x[0-9a-f]*\) "\(TAPEON\|.* - TAPEON\|TAPEON - .*\)": ("tapeon.exe".*/\1/p' | head -n 1
}
case "$output" in /*) ;; *) output="$PWD/$output" ;; esac
case "$language" in
  running)
    window=$(find_window)
    [ -n "$window" ] || { echo "screenshot: no TAPEON window on display ${DISPLAY:-(none)}" >&2; exit 1; }
    import -window "$window" "$output" || exit 1
    echo "screenshot: $output"
    exit 0 ;;
  english) locale=en_US.UTF-8 ;;
  japanese) locale=ja_JP.UTF-8 ;;
  *) echo "screenshot: language is english or japanese" >&2; exit 1 ;;
esac

source "$repo/scripts/wine_env.sh"
wine_env_start || exit 1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tapeon-shot.XXXXXX")
# Ends a process and its descendants, children first.
kill_tree() {
  local child
  for child in $(pgrep -P "$1"); do kill_tree "$child"; done
  kill "$1" 2>/dev/null
}
cleanup() {
  [ -n "${tapeon_pid:-}" ] && kill_tree "$tapeon_pid"
  [ -n "${tone_pid:-}" ] && kill_tree "$tone_pid"
  wine_env_stop
  rm -rf "$scratch"
}
trap cleanup EXIT

recording=0
case "$*" in */[Rr]*) recording=1 ;; esac
if [ "$recording" = 1 ]; then
  sox -n -r 44100 -b 16 -c 2 "$scratch/tone.wav" synth 60 sine 440 tremolo 3 60 remix 1v0.9 1v0.03 2>/dev/null &&
    { paplay "$scratch/tone.wav" </dev/null >/dev/null 2>&1 & tone_pid=$!; }
  sleep 1
fi

# USERPROFILE must be set inside Wine (Wine replaces the Unix variable), so
# the program is started from a batch file that sets it.
profile=$(winepath -w "$scratch" 2>/dev/null | tr -d '\r')
printf '@set USERPROFILE=%s\r\n@"%s" %s\r\n' "$profile" "$(winepath -w "$exe" 2>/dev/null | tr -d '\r')" "$*" \
  >"$scratch/launch.bat"
(cd "$scratch" && env LC_ALL="$locale" wine cmd /c "$(winepath -w "$scratch/launch.bat" 2>/dev/null | tr -d '\r')" </dev/null >"$scratch/wine.log" 2>&1) &
tapeon_pid=$!

window=
for _ in $(seq 1 200); do
  window=$(find_window)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "screenshot: TAPEON's window did not appear" >&2
  cat "$scratch/wine.log" >&2
  exit 1
fi
sleep $((1 + 2 * recording))  # let it paint (and a recording's meter move)
import -window "$window" "$output" || exit 1
echo "screenshot: $output"
