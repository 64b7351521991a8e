# Headless Windows environment for running TAPEON and its tests under Wine.
# Source this file, then:
#   wine_env_start      X display (Xvfb) and sound server (PulseAudio with a null
#                       sink) when none is running, and a ready Wine prefix
#   wine_env_run LOG [VAR=VALUE...] EXE [ARGS...]
#                       runs a Windows program (with the given variables, e.g.
#                       LC_ALL=ja_JP.UTF-8 for Japanese) with its output in LOG
#                       and returns its exit code
#   wine_env_devices    prints "waveout N wavein M" for the prefix
#   wine_env_codec      installs the Ogg Vorbis codec driver into the prefix,
#                       or removes it with TAPEON_CODEC=0 (wine_env_start does
#                       the same)
#   wine_env_sound      starts the sound server again when it is gone (the
#                       device-loss tests stop it): the one of this environment,
#                       or, from a script run inside it, the one whose state
#                       directory TAPEON_SOUND_SERVER_STATE names
#   wine_env_headless   true when wine_env_start started a display of its own
#                       (nobody sees what runs on it)
#   wine_env_logs DIR   copies the logs of the display and sound servers into DIR
#   wine_env_stop       ends what wine_env_start started, and the prefix's
#                       Wine processes
#   wine_env_raise      from then on wine_env_run starts programs at a raised
#                       priority (WINE_ENV_NICE), when this user may raise it
#                       (the busy-machine benchmarks' TAPEON_RAISED=1)
# Settings (environment):
#   TAPEON_WINEARCH     win64: a 64-bit prefix, in which TAPEON runs as on
#                       64-bit Windows (WOW64: SysWOW64, the 32-bit registry
#                       view); default win32
#   TAPEON_WINEPREFIX   prefix to use (default <repo>/build/wineprefix, or
#                       <repo>/build/wineprefix64 with TAPEON_WINEARCH=win64)
#   TAPEON_CODEC        0: the prefix without the Ogg Vorbis codec driver
#                       (removed if installed); otherwise it is installed from
#                       build/win32/codec/vorbis.acm when built, again when newer
#   DISPLAY             reused when an X server answers on it
# Wine's helper processes inherit the standard handles of the program that
# started them and keep them open; every Wine command here therefore writes
# into files, never into a pipe of the caller.

_WINE_ENV_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

_wine_env_log() { echo "wine_env: $*" >&2; }

# Waits up to ten seconds for a server just started as PID to answer COMMAND;
# a server that dies or does not answer is ended and the call fails.
_wine_env_await() {
  local pid=$1 i
  shift
  for i in $(seq 1 100); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 1
}

# Starts Xvfb on the first free display number from 99 on.
_wine_env_start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n pid
  for n in $(seq 99 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset \
      </dev/null >"$_WINE_ENV_STATE/xvfb.log" 2>&1 &
    pid=$!
    if _wine_env_await "$pid" env DISPLAY=":$n" xdpyinfo; then
      export DISPLAY=":$n"
      _WINE_ENV_XVFB_PID=$pid
      return 0
    fi
  done
  _wine_env_log "could not start Xvfb"
  tail -n 20 "$_WINE_ENV_STATE/xvfb.log" >&2
  return 1
}

# Starts PulseAudio with a null sink as default sink and its monitor as default
# source, so that what is played can be recorded again.
_wine_env_start_sound() {
  if timeout 5 pactl info >/dev/null 2>&1; then
    return 0
  fi
  if [ -n "${PULSE_SERVER:-}" ]; then
    _wine_env_log "no sound server at PULSE_SERVER=$PULSE_SERVER; starting one"
    unset PULSE_SERVER
  fi
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$_WINE_ENV_STATE/runtime"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
  fi
  local pid
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=tapeon_null" \
    </dev/null >>"$_WINE_ENV_STATE/pulse.log" 2>&1 &
  pid=$!
  if _wine_env_await "$pid" timeout 5 pactl info; then
    _WINE_ENV_PULSE_PID=$pid
    echo "$pid" >"$_WINE_ENV_STATE/pulse.pid"
    pactl set-default-sink tapeon_null >/dev/null 2>&1
    pactl set-default-source tapeon_null.monitor >/dev/null 2>&1
    return 0
  fi
  _wine_env_log "could not start PulseAudio"
  tail -n 20 "$_WINE_ENV_STATE/pulse.log" >&2
  return 1
}

# The probe program, built from its source when missing or older.
_wine_env_probe() {
  local src="$_WINE_ENV_REPO/scripts/wine_probe.c" exe="$WINEPREFIX/wine_probe.exe"
  if [ ! -f "$exe" ] || [ "$src" -nt "$exe" ]; then
    i686-w64-mingw32-gcc -O2 -o "$exe" "$src" -lwinmm -lgdi32 -luser32 || return 1
  fi
  echo "$exe"
}

# Creates the prefix once: no window manager is assumed ("Managed"="N", or Wine
# waits for one at every window hide), Wine's own fonts are installed, and the
# font caches of both languages are built, which takes many seconds on first
# use. Each step is marked as done, so an older prefix gets the later steps.
_wine_env_prepare_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    log="$_WINE_ENV_STATE/wineboot.log"
    running_before=0
    [ -d "$WINEPREFIX" ] && _wine_env_server_running && running_before=1
    japanese_bitmap="$WINEPREFIX/drive_c/windows/Fonts/jvgasys.fon"
    if [ -f "$WINEPREFIX/.tapeon-ready" ] && [ -f "$WINEPREFIX/.tapeon-system-font" ] &&
       { [ -f "$WINEPREFIX/.tapeon-fonts" ] || [ ! -d /usr/share/wine/fonts ]; } && [ ! -L "$japanese_bitmap" ]; then
      exit 0
    fi
    if [ ! -f "$WINEPREFIX/.tapeon-created" ] && [ ! -f "$WINEPREFIX/.tapeon-ready" ]; then
      _wine_env_log "preparing Wine prefix $WINEPREFIX (once)"
      WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i </dev/null >"$log" 2>&1 || exit 1
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$log" 2>&1 || exit 1
      touch "$WINEPREFIX/.tapeon-created"
    fi
    # Tahoma, Marlett (the caption buttons) and the bitmap system fonts are
    # looked for in the prefix's Fonts folder only. Not the Japanese bitmap
    # "System" (jvgasys.fon): it has no kanji, and while it is there Japanese
    # dialogs get it and show boxes (older prefixes lose it here). Linked
    # after the first boot, which sets the fonts of the window metrics as the
    # tests know them; Wine loads the folder's fonts at every start, so no
    # second boot (half a minute) is needed for them.
    rm -f "$japanese_bitmap"
    if [ ! -f "$WINEPREFIX/.tapeon-fonts" ] && [ -d /usr/share/wine/fonts ]; then
      for font in /usr/share/wine/fonts/*; do
        [ "$(basename "$font")" = jvgasys.fon ] && continue
        ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
      done
      touch "$WINEPREFIX/.tapeon-fonts"
    fi
    # Wine's bitmap "System" font for code page 932 has no kanji, so Japanese
    # dialogs (font "System") would show boxes: take a TrueType font with them.
    if [ ! -f "$WINEPREFIX/.tapeon-system-font" ]; then
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v System /d IPAGothic /f </dev/null >>"$log" 2>&1 || exit 1
      touch "$WINEPREFIX/.tapeon-system-font"
    fi
    if [ ! -f "$WINEPREFIX/.tapeon-ready" ]; then
      probe=$(_wine_env_probe) || exit 1
      wine "$probe" warm </dev/null >>"$log" 2>&1 || exit 1
      env LC_ALL=ja_JP.UTF-8 wine "$probe" warm </dev/null >>"$log" 2>&1 || exit 1
      touch "$WINEPREFIX/.tapeon-ready"
    fi
    # Stop the server the preparation started (not one that was running).
    if [ "$running_before" = 0 ]; then
      wineserver -k </dev/null >/dev/null 2>&1
      wineserver -w </dev/null >/dev/null 2>&1
    fi
    exit 0
  ) 9>"$WINEPREFIX.lock"
}

# The Ogg Vorbis codec driver, installed as a user installs one: the DLL in
# the system folder of 32-bit programs and the value "msacm.vorbis" under
# Drivers32, where the audio compression manager looks for installable
# drivers; in a 64-bit prefix those are SysWOW64 and the 32-bit view of the
# registry. The manager keeps what it learnt of a driver under DriverCache;
# that is dropped on every change.
wine_env_codec() {
  local dll="$_WINE_ENV_REPO/build/win32/codec/vorbis.acm"
  local target="$WINEPREFIX/drive_c/windows/system32/vorbis.acm" view=/reg:32
  local drivers='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32'
  local cache='HKLM\Software\Microsoft\AudioCompressionManager\DriverCache\msacm.vorbis'
  [ "$WINEARCH" = win64 ] && target="$WINEPREFIX/drive_c/windows/syswow64/vorbis.acm"
  if [ "${TAPEON_CODEC:-1}" = 0 ]; then
    [ -f "$target" ] || return 0
    rm -f "$target"
    wine reg delete "$drivers" /v msacm.vorbis /f $view </dev/null >/dev/null 2>&1
  else
    [ -f "$dll" ] || return 0
    [ -f "$target" ] && [ ! "$dll" -nt "$target" ] && return 0
    cp "$dll" "$target" || return 1
    wine reg add "$drivers" /v msacm.vorbis /d vorbis.acm /f $view </dev/null >/dev/null 2>&1 || return 1
  fi
  wine reg delete "$cache" /f $view </dev/null >/dev/null 2>&1
  return 0
}

# True when a wineserver runs for the prefix: it works inside a directory
# named after the prefix's device and inode numbers.
_wine_env_server_running() {
  local name proc
  name=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null)) || return 1
  for proc in /proc/[0-9]*; do
    case "$(readlink "$proc/cwd" 2>/dev/null)" in */"$name") return 0 ;; esac
  done
  return 1
}

wine_env_devices() {
  local probe out
  probe=$(_wine_env_probe) || return 1
  out=$(mktemp)
  wine "$probe" devices </dev/null >"$out" 2>/dev/null
  tr -d '\r' <"$out"
  rm -f "$out"
}

wine_env_start() {
  # A nested start (a script run by a script that already started the
  # environment for this prefix) uses what is there and stops nothing.
  local arch="${TAPEON_WINEARCH:-win32}" prefix
  case "$arch" in
    win32) prefix="${TAPEON_WINEPREFIX:-$_WINE_ENV_REPO/build/wineprefix}" ;;
    win64) prefix="${TAPEON_WINEPREFIX:-$_WINE_ENV_REPO/build/wineprefix64}" ;;
    *) _wine_env_log "TAPEON_WINEARCH is win32 or win64, not $arch"; return 1 ;;
  esac
  if [ "${TAPEON_WINE_ENV_ACTIVE:-}" = "$prefix" ] && [ -n "${DISPLAY:-}" ]; then
    _WINE_ENV_NESTED=1
    return 0
  fi
  _WINE_ENV_NESTED=0
  _WINE_ENV_XVFB_PID=
  _WINE_ENV_PULSE_PID=
  export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
  mkdir -p "$(dirname "$WINEPREFIX")"
  _WINE_ENV_STATE=$(mktemp -d "${TMPDIR:-/tmp}/tapeon-wine-env.XXXXXX")
  _wine_env_start_display || { wine_env_stop; return 1; }
  _wine_env_start_sound || { wine_env_stop; return 1; }
  _wine_env_prepare_prefix || {
    _wine_env_log "preparing the prefix failed"
    tail -n 20 "$_WINE_ENV_STATE/wineboot.log" >&2
    wine_env_stop
    return 1
  }
  # Keep the prefix's server and system processes up between programs. A
  # server that was already running belongs to someone else (another run on
  # the same prefix): it is used and left alone at the stop.
  _WINE_ENV_OWN_SERVER=1
  if _wine_env_server_running; then
    _WINE_ENV_OWN_SERVER=0
  else
    wineserver -p </dev/null >/dev/null 2>&1
  fi
  wine_env_codec || _wine_env_log "could not install the Ogg Vorbis codec driver"
  local devices
  devices=$(wine_env_devices)
  case "$devices" in
    "waveout 0"*|"")
      _wine_env_log "no wave output device under Wine ($devices)"
      wine_env_stop
      return 1 ;;
  esac
  export TAPEON_WINE_ENV_ACTIVE="$WINEPREFIX"
  # A server of our own may be stopped and started again by the device-loss
  # tests (tests/wine/sound_server.sh); someone else's never.
  if [ -n "$_WINE_ENV_PULSE_PID" ]; then
    export TAPEON_SOUND_SERVER="$_WINE_ENV_REPO/tests/wine/sound_server.sh"
    export TAPEON_SOUND_SERVER_STATE="$_WINE_ENV_STATE"
  fi
  return 0
}

wine_env_sound() {
  local state=${_WINE_ENV_STATE:-${TAPEON_SOUND_SERVER_STATE:-}}
  if [ -z "$state" ]; then
    _wine_env_log "no environment started: no sound server to start again"
    return 1
  fi
  _WINE_ENV_STATE=$state _wine_env_start_sound
}

wine_env_headless() { [ -n "${_WINE_ENV_XVFB_PID:-}" ]; }

wine_env_logs() {
  local dir=$1 name
  [ -n "${_WINE_ENV_STATE:-}" ] || return 0
  for name in pulse.log xvfb.log wineboot.log; do
    [ -f "$_WINE_ENV_STATE/$name" ] && cp "$_WINE_ENV_STATE/$name" "$dir/$name"
  done
  return 0
}

wine_env_run() {
  local log=$1
  shift
  local -a vars=() raise=()
  while [ $# -gt 0 ] && [[ "$1" == [A-Za-z_]*=* ]]; do
    vars+=("$1")
    shift
  done
  [ -n "${WINE_ENV_NICE:-}" ] && raise=(nice -n "$WINE_ENV_NICE")
  env "${vars[@]}" "${raise[@]}" wine "$@" </dev/null >"$log" 2>&1
}

# During a run TAPEON asks Windows for the real-time priority class, so that
# a busy machine does not starve its sound; Wine passes no priority on to
# Linux. What could stand in for it is a lower nice value for the program's
# process (measured by the busy benchmarks; see the README), which only root
# or a user with a nice limit (ulimit -e) of 30 or more may take. Sets
# WINE_ENV_NICE when allowed; otherwise empties it, puts why into
# WINE_ENV_RAISE_REASON and fails. GNU nice runs the command even when it
# cannot raise it, hence the check of the value the command got.
WINE_ENV_RAISED_NICE=-10
wine_env_raise() {
  local now wanted got
  now=$(nice)
  wanted=$((now + WINE_ENV_RAISED_NICE))
  [ "$wanted" -lt -20 ] && wanted=-20
  got=$(nice -n "$WINE_ENV_RAISED_NICE" nice 2>/dev/null)
  if [ "$got" = "$wanted" ]; then
    WINE_ENV_NICE=$WINE_ENV_RAISED_NICE
    return 0
  fi
  WINE_ENV_NICE=
  WINE_ENV_RAISE_REASON="cannot raise the priority (nice $WINE_ENV_RAISED_NICE): that needs root or ulimit -e of $((20 - wanted)) or more"
  return 1
}

wine_env_stop() {
  if [ "${_WINE_ENV_NESTED:-0}" = 1 ]; then
    return 0
  fi
  if [ -n "${WINEPREFIX:-}" ] && [ "${_WINE_ENV_OWN_SERVER:-1}" = 1 ]; then
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
  fi
  # A server that sound_server.sh started again in place of ours.
  if [ -n "${_WINE_ENV_STATE:-}" ] && [ -f "$_WINE_ENV_STATE/pulse.pid" ]; then
    local restarted
    restarted=$(cat "$_WINE_ENV_STATE/pulse.pid")
    [ "$restarted" != "${_WINE_ENV_PULSE_PID:-}" ] && kill "$restarted" 2>/dev/null
  fi
  if [ -n "${_WINE_ENV_PULSE_PID:-}" ]; then
    kill "$_WINE_ENV_PULSE_PID" 2>/dev/null
    wait "$_WINE_ENV_PULSE_PID" 2>/dev/null
    _WINE_ENV_PULSE_PID=
  fi
  unset TAPEON_SOUND_SERVER TAPEON_SOUND_SERVER_STATE
  if [ -n "${_WINE_ENV_XVFB_PID:-}" ]; then
    kill "$_WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$_WINE_ENV_XVFB_PID" 2>/dev/null
    _WINE_ENV_XVFB_PID=
    unset DISPLAY
  fi
  unset TAPEON_WINE_ENV_ACTIVE
  if [ -n "${_WINE_ENV_STATE:-}" ] && [ -d "$_WINE_ENV_STATE" ]; then
    case "${XDG_RUNTIME_DIR:-}" in "$_WINE_ENV_STATE"/*) unset XDG_RUNTIME_DIR ;; esac
    rm -rf "$_WINE_ENV_STATE"
  fi
  _WINE_ENV_STATE=
  return 0
}
