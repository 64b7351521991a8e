# The start and end every TAPEON benchmark shares; sourced by the scripts
# beside it, after they have set `repo`.
#   bench_start NAME   Wine environment up, a work folder in `work`, and
#                      TAPEON's settings (streaming, no level report box at
#                      the end) in `ini`; a settings file already there is kept
#   bench_end          puts the settings file back, removes the work folder,
#                      stops the environment
source "$repo/scripts/wine_env.sh"

bench_start() {
  wine_env_start || exit 1
  work=$(mktemp -d "${TMPDIR:-/tmp}/tapeon-$1.XXXXXX")
  # TAPEON reads its settings from the profile directory.
  profile=$(winepath -u "$(wine cmd /c echo %USERPROFILE% 2>/dev/null | tr -d '\r')" 2>/dev/null)
  ini="$profile/TAPEON.INI"
  [ -f "$ini" ] && cp "$ini" "$work/TAPEON.INI.saved"
  printf '[TAPEON]\r\nOnMem=0\r\nlevelwarning=0\r\n' >"$ini"
}

bench_end() {
  if [ -f "$work/TAPEON.INI.saved" ]; then cp "$work/TAPEON.INI.saved" "$ini"; else rm -f "$ini"; fi
  rm -rf "$work"
  wine_env_stop
}
