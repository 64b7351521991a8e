#!/bin/bash
# Takes the sound server of the test environment away and brings it back, for
# the device-loss end-to-end tests (run from inside Wine through HostScript).
# Only the PulseAudio server that wine_env_start started itself is touched:
# its state directory comes in TAPEON_SOUND_SERVER_STATE, which wine_env_start
# exports only then, with its process id in pulse.pid.
# Usage: sound_server.sh stop|start
set -u
state=${TAPEON_SOUND_SERVER_STATE:?not started by wine_env_start}
source "$(dirname "$0")/../../scripts/wine_env.sh"
case ${1:-} in
  stop)
    pid=$(cat "$state/pulse.pid") || exit 1
    kill "$pid" || exit 1
    # The server is the child of the shell that started it, which reaps it
    # only later: wait for its socket to stop answering instead of its pid.
    for _ in $(seq 200); do
      timeout 2 pactl info >/dev/null 2>&1 || exit 0
      sleep 0.05
    done
    exit 1 ;;
  start)
    wine_env_sound ;;
  *)
    echo "usage: $0 stop|start" >&2
    exit 2 ;;
esac
