#!/bin/bash
# Builds everything and runs every test:
#   the include check of the layers, native unit tests (GCC,
#   AddressSanitizer + UndefinedBehaviorSanitizer),
#   each fuzz target (clang, libFuzzer) for a bounded time, then under Wine
#   the end-to-end tests in English, in Japanese (those that depend on the
#   language; all with --long), without the Ogg codec and without a sound
#   server, and a chosen set of them in a 64-bit prefix,
#   the README's first command, ./run.sh /R/T0.1, from another directory, and
#   last the release package in fresh 32-bit and 64-bit Wine prefixes
#   (tests/scripts/package_test.sh).
# Ends with the time of each step, "N passed, N failed, N skipped" and a
# non-zero status on failure.
# Logs are kept in build/test-logs/.
set -uo pipefail
# The last command of a pipeline runs in this shell, so that `... | tally`
# counts into its totals.
shopt -s lastpipe

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$repo"
logs="$repo/build/test-logs"
mkdir -p "$logs"
FUZZ_SECONDS=${TAPEON_FUZZ_SECONDS:-15}
E2E_TIMEOUT=${TAPEON_E2E_TIMEOUT:-1200}

# ---- Long forms of the damaged-file sweep and the soak ----------------------------
# The English end-to-end run holds both in their short forms (60 damaged files,
# 40 runs in one process). `./test.sh --long` (or TAPEON_LONG=1) sweeps 1000
# files and soaks 300 runs instead; the counts can also be set one by one with
# TAPEON_SWEEP_FILES and TAPEON_SOAK_RUNS. It also plays a 28-minute Ogg Vorbis
# file on memory to its end, and runs every end-to-end test in Japanese too
# (JAPANESE_TESTS below).
if [ "${1:-}" = "--long" ] || [ -n "${TAPEON_LONG:-}" ]; then
  export TAPEON_SWEEP_FILES=${TAPEON_SWEEP_FILES:-1000} TAPEON_SOAK_RUNS=${TAPEON_SOAK_RUNS:-300}
  # Also the 28-minute on-memory playback of the meter tests (English run).
  export TAPEON_LONG=1
  E2E_TIMEOUT=$((E2E_TIMEOUT + 2400 + 1800))
fi

passed=0
failed=0
skipped=0
failures=()
started=$SECONDS

# Each step says when it starts; at the end every step's time is listed.
step_name=
step_started=0
step_times=()
end_step() {
  [ -n "$step_name" ] && step_times+=("$(printf '%6d s  %s' $((SECONDS - step_started)) "$step_name")")
  step_name=
}
step() {
  end_step
  step_name=$*
  step_started=$SECONDS
  echo
  echo "== $* ($((SECONDS - started)) s)"
}
record_failure() {
  failed=$((failed + 1))
  failures+=("$1")
  echo "FAILED: $1"
}
finish() {
  end_step
  echo
  echo "Step times:"
  printf '%s\n' "${step_times[@]}"
  if [ ${#failures[@]} -gt 0 ]; then
    echo "Failures:"
    printf '  %s\n' "${failures[@]}"
  fi
  echo "Total time $((SECONDS - started)) s; logs in $logs"
  echo "$passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit
}

# Every part of the run reports its results as lines "NAME: ok",
# "NAME: ok (DETAILS)", "NAME: skipped", "NAME: FAILED", "NAME: FAILED: WHY" or
# "NAME: FAILED (WHY)", and `tally` counts them: the one way results are
# counted. It shows every line, or with --quiet only the failed ones and a
# line of counts (for the runs of many tests).
tally() {
  local quiet=0 line ok=0 bad=0 skip=0
  [ "${1:-}" = --quiet ] && quiet=1
  while IFS= read -r line; do
    case "$line" in
      *": ok" | *": ok ("*) passed=$((passed + 1)); ok=$((ok + 1)); [ $quiet = 1 ] || echo "$line" ;;
      *": skipped") skipped=$((skipped + 1)); skip=$((skip + 1)); [ $quiet = 1 ] || echo "$line" ;;
      *": FAILED" | *": FAILED: "* | *": FAILED ("*)
        record_failure "${line%%: FAILED*}${line#*: FAILED}"; bad=$((bad + 1)) ;;
      *) [ $quiet = 1 ] || echo "$line" ;;
    esac
  done
  [ $quiet = 1 ] && echo "$ok passed, $bad failed, $skip skipped"
  return 0
}

# The result lines of a GoogleTest run (its full output in LOG), one per
# test, named "NAME Suite.Test"; a run that ended without its summary
# (crash, time-out) or with a failing status and no failed test is one
# failure more.
gtest_results() {
  local name=$1 log=$2 status=$3
  sed -n -e "s/^\[       OK \] \([A-Za-z_][^ ]*\) (.*/$name \1: ok/p" \
         -e "s/^\[  SKIPPED \] \([A-Za-z_][^ ,]*\.[^ ,]*\)[ ,].*/$name \1: skipped/p" \
         -e "s/^\[  FAILED  \] \([A-Za-z_][^ ,]*\.[^ ,]*\)[ ,].*/$name \1: FAILED/p" "$log" | sort -u
  if ! grep -q '^\[==========\] [0-9]* tests\? from .* ran\.' "$log"; then
    echo "$name: FAILED: ended with status $status before its summary"
  elif [ "$status" -ne 0 ] && ! grep -q '^\[  FAILED  \] [A-Za-z_]' "$log"; then
    echo "$name: FAILED: ended with status $status"
  fi
}

# The result lines of a ctest run (its output in LOG), one per test: passed,
# skipped (or not run), or failed in any other way; no summary is a failure.
ctest_results() {
  local log=$1 status=$2
  sed -n -e 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*  Passed .*/unit \1: ok/p' \
         -e 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*\(Skipped\|Not Run\).*/unit \1: skipped/p' \
         -e '/  Passed \|\*\*\*Skipped\|\*\*\*Not Run/!s/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*/unit \1: FAILED/p' "$log"
  grep -q -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" ||
    echo "unit tests: FAILED: ctest ended with status $status and no summary"
}

# Configures and builds one tree (scripts/build_tree.sh) with its logs in
# $logs/NAME-*.log; a failure is a result line of LABEL.
# Usage: build_step LABEL NAME DIR CMAKE-OPTIONS...
source "$repo/scripts/build_tree.sh"
build_step() {
  local label=$1 name=$2 dir=$3
  shift 3
  build_tree "$dir" "$logs/$name" "$@" && return 0
  echo "$label: FAILED" | tally
  return 1
}

step "Setup"
if ! "$repo/scripts/setup.sh" >"$logs/setup.log" 2>&1; then
  tail -n 30 "$logs/setup.log"
  echo "setup: FAILED" | tally
  finish
fi
# libogg and libvorbis for the sanitizers and for the fuzzer, made once
# (codec/build_libs.sh, from the sources setup.sh fetched for MinGW): built
# now, beside the steps before the native and fuzz builds, whose
# configuration waits for them.
for mode in native fuzz; do
  codec/build_libs.sh --$mode "build/$mode-libs" >"$logs/$mode-libs.log" 2>&1 &
done

# ---- Include check: lower layers never include higher ones, no cycles, the
# records' owners, no other state that can change; and the check itself against
# planted variables ---------------------------------------------------------------
step "Include check"
if python3 tests/scripts/include_check.py >"$logs/include-check.log" 2>&1 &&
   python3 tests/scripts/include_check.py --self-test >>"$logs/include-check.log" 2>&1; then
  echo "include check: ok ($(grep '^include check: ' "$logs/include-check.log" | tail -n 1))"
else
  cat "$logs/include-check.log" >&2
  echo "include check: FAILED (layers, cycles, owners or state)"
fi | tally

# ---- Fixtures: sound files made by real encoders, for native and Wine tests ------
step "Fixtures (build/fixtures)"
export TAPEON_FIXTURES="$repo/build/fixtures"
rm -rf "$TAPEON_FIXTURES"
mkdir -p "$TAPEON_FIXTURES"
for script in tests/fixtures/*.sh; do
  [ -e "$script" ] || continue
  name=$(basename "$script" .sh)
  if bash "$script" "$TAPEON_FIXTURES" >"$logs/fixtures-$name.log" 2>&1; then
    echo "fixtures $name: ok"
  else
    tail -n 20 "$logs/fixtures-$name.log" >&2
    echo "fixtures $name: FAILED"
  fi
done | tally

# ---- Native builds: unit tests (GCC, sanitizers), fuzz targets (clang) -----------
step "Native build (build/native)"
if build_step "native build" native build/native -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc; then
  step "Unit tests (ctest)"
  (cd build/native && ctest -j2 --timeout 600 --output-on-failure) >"$logs/ctest.log" 2>&1
  ctest_status=$?
  ctest_results "$logs/ctest.log" "$ctest_status" | tally --quiet
fi

step "Fuzz build (build/fuzz)"
if build_step "fuzz build" fuzz build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang; then
  step "Fuzzing (${FUZZ_SECONDS} s per target, two at a time)"
  # Each target is one process on one core: two run side by side, each for
  # its whole time.
  fuzz_target() {
    local name=$1 exe="build/fuzz/$1" work="build/fuzz/work/$1"
    if [ ! -x "$exe" ]; then
      echo "fuzz $name: FAILED: not built"
      return
    fi
    mkdir -p "$work" build/fuzz/artifacts
    local -a seeds=() limits=()
    [ -d "tests/fuzz/corpus/$name" ] && seeds=("tests/fuzz/corpus/$name")
    # The codec's inputs are Ogg streams (and driver messages around them):
    # setups at the decoder's limits take up to 256 KB.
    case $name in codec_*) limits=(-max_len=262144) ;; esac
    if timeout $((FUZZ_SECONDS + 120)) "$exe" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
         "${limits[@]}" -artifact_prefix="build/fuzz/artifacts/$name-" "$work" "${seeds[@]}" \
         >"$logs/fuzz-$name.log" 2>&1; then
      echo "fuzz $name: ok ($(grep -o 'Done [0-9]* runs' "$logs/fuzz-$name.log" | tail -n 1))"
    else
      tail -n 40 "$logs/fuzz-$name.log" >&2
      echo "fuzz $name: FAILED (artifacts in build/fuzz/artifacts)"
    fi
  }
  fuzz_names=()
  for src in tests/fuzz/*_fuzz.cpp; do
    [ -e "$src" ] && fuzz_names+=("$(basename "$src" .cpp)")
  done
  for ((k = 0; k < ${#fuzz_names[@]}; k += 2)); do
    pair=()
    for name in "${fuzz_names[@]:k:2}"; do
      fuzz_target "$name" >"$logs/fuzz-$name.result" &
      pair+=($!)
    done
    wait "${pair[@]}"
  done
  for name in "${fuzz_names[@]}"; do cat "$logs/fuzz-$name.result"; done | tally
fi

# ---- Windows build and end-to-end tests under Wine ------------------------------
step "Windows build (build/win32)"
build_step "Windows build" win32 build/win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" || finish

step "Wine environment"
source "$repo/scripts/wine_env.sh"
if ! wine_env_start; then
  echo "Wine environment: FAILED" | tally
  finish
fi
trap wine_env_stop EXIT

# The sound path itself: a tone played must come back through the recording.
# Wine's capture from the null sink may miss the first second or more of a
# stream (more so on a server that has just started), so the tone lasts three
# seconds and a silent first try is repeated once.
loopback="$repo/build/win32/tests/wine/tool_wave_loopback.exe"
if [ -f "$loopback" ]; then
  if wine_env_run "$logs/loopback.log" "$loopback" 3 ||
     { echo "sound loopback: $(tr -d '\r' <"$logs/loopback.log" | tail -n 1); trying once more" >&2
       wine_env_run "$logs/loopback.log" "$loopback" 3; }; then
    echo "sound loopback: ok ($(tr -d '\r' <"$logs/loopback.log" | tail -n 1))"
  else
    cat "$logs/loopback.log" >&2
    echo "sound loopback: FAILED (the Wine environment's)"
  fi | tally
fi

# Runs e2e_tests.exe with a filter and the given variables; its full output
# (every test with its time) goes to $logs/e2e-NAME.log.txt.
e2e="$repo/build/win32/tests/wine/e2e_tests.exe"
run_e2e() {
  local name=$1 filter=$2
  shift 2
  local log="$logs/e2e-$name.log"
  step "End-to-end tests: $name"
  if [ ! -f "$e2e" ]; then
    echo "no end-to-end tests built"
    return
  fi
  timeout "$E2E_TIMEOUT" env "$@" wine "$e2e" --gtest_filter="$filter" </dev/null >"$log" 2>&1
  local status=$?
  tr -d '\r' <"$log" | grep -v -e '^ALSA lib' -e '^Running main() from' >"$log.txt"
  # What went wrong, in full, for the failed tests.
  awk '/^\[ RUN      \]/{n=0; buf=""} {buf=buf $0 "\n"} /^\[  FAILED  \] [A-Za-z_].*\(/{printf "%s", buf}' "$log.txt"
  gtest_results "e2e $name" "$log.txt" "$status" | tally --quiet
  # A sound server that went away during the run (not by the device-loss
  # tests, which bring it back) is said so, and the next run gets a new one.
  if ! timeout 5 pactl info >/dev/null 2>&1; then
    echo "the sound server was gone after the $name run (its log: $logs/pulse.log); starting it again"
    wine_env_sound
  fi
}

# The Japanese session runs, by default, the tests whose behaviour depends on
# the language; the sound path (recording, playback, the meter, the codec,
# device loss, the sweep and the soak) is the same code and the same bytes in
# either language, and the English session covers it. `./test.sh --long` runs
# every test in Japanese too. Chosen, with why:
#   Shell: the language taken from the code page, /E, the main window's
#     texts and layout
JAPANESE_TESTS="Shell.RunLanguageMatchesItsCodePage:Shell.MainWindowStartsIdleWithFixedLayout"
JAPANESE_TESTS+=":Shell.JapaneseRunUsesJapaneseTextsUnlessForcedToEnglish"
#   every dialog (Option, 3D, About, New file), the information dialogs and
#   every label's fit: Japanese wording over the templates, other fonts
JAPANESE_TESTS+=":Dialogs*.*:InfoDialogs.*:TextFit.*"
#   file names in any script, which pass through the code page (932 here)
JAPANESE_TESTS+=":Names.*"
#   messages and texts the tests compare with the Japanese wording: the open
#   dialog's file types, the refusals, the repair questions, the settings
#   refused, the data chunk cut short (numbers inside the text), the run that
#   failed, the header that could not be made, the piece the device refused
JAPANESE_TESTS+=":SoundFilesE2E.OggFollowsTheCodecWithAndWithoutCodec:SoundFilesE2E.RefusedFilesGetTheirMessage"
JAPANESE_TESTS+=":SoundFilesE2E.NamesOfNoFileAreRefusedWithTheOpenMessage"
JAPANESE_TESTS+=":SoundFilesE2E.UnfinishedRecordingIsRepairedOnYes"
JAPANESE_TESTS+=":SoundFilesE2E.UnrepairableFileSaysCantRecoverAndStaysAsItWas"
JAPANESE_TESTS+=":EngineBadInput.DeltatimeOutOfRangeRefusesPlayback"
JAPANESE_TESTS+=":EngineBadInput.TooShortDeltatimeRefusesRecordingAndLeavesNoFile"
JAPANESE_TESTS+=":*EngineBadFile.FileThatShrinksBeforeTheStartIsReported*"
JAPANESE_TESTS+=":Recording.FailedContEndsTheDisplayTimerWithTheRun:Recording.MissingHeaderIsMadeAgainAtTheNextStart"
JAPANESE_TESTS+=":OggPlayback.RefusedPieceOnMemoryEndsWithAMessage"
#   texts made with numbers in them, on the screen: the level report, the
#   dropout count on the status line
JAPANESE_TESTS+=":MeterReport.*:Recording.WithheldInputIsCountedAsDropouts"
# Left to the English session though they compare a message too (the report
# at the end of a playback or of a full memory block, the offer to recover a
# cut-off tail, the stalled device, the full disk, the lost device): the
# program and the test take the Japanese words from the same constant through
# the same Pick, so after a long run the Japanese session would only check
# again what the tests above check, that a box takes the Japanese of its pair
# (the report's composition in both languages is in the unit tests).
japanese_filter=$JAPANESE_TESTS
[ -n "${TAPEON_LONG:-}" ] && japanese_filter='-*NoSound*'

run_e2e english '-*NoSound*' LC_ALL=en_US.UTF-8
run_e2e japanese "$japanese_filter" LC_ALL=ja_JP.UTF-8
# Without the Ogg Vorbis codec driver, as on a system that has none.
TAPEON_CODEC=0 wine_env_codec
run_e2e no-codec '*WithoutCodec*' LC_ALL=en_US.UTF-8 TAPEON_CODEC=0
run_e2e no-codec-japanese '*WithoutCodec*' LC_ALL=ja_JP.UTF-8 TAPEON_CODEC=0
# The sound server out of reach (and ALSA off, in case the machine has a card):
# Wine then offers no wave devices.
run_e2e no-sound '*NoSound*' LC_ALL=en_US.UTF-8 PULSE_SERVER=unix:/nonexistent WINEDLLOVERRIDES=winealsa.drv=d

step "Stopping the Wine environment"
wine_env_logs "$logs"
wine_env_stop
trap - EXIT
# ---- 64-bit Windows, as most users have it ---------------------------------------
# TAPEON in a 64-bit prefix (build/wineprefix64), where it runs under WOW64 as
# on 64-bit Windows: the codec in SysWOW64 and named in the 32-bit registry
# view. A chosen set of the tests above: start-up and settings, recording,
# playback of each format (PCM, 32-bit PCM, MP3, Ogg Vorbis through the
# mapper and through TAPEON's own conversion), the information dialogs.
WIN64_TESTS="Shell.MainWindowStartsIdleWithFixedLayout:Shell.ExitCommandEndsWithCodeZero"
WIN64_TESTS+=":Shell.FirstRunWritesEveryKeyWithItsDefault:DialogsOption.OkStoresEveryChangeAndTheRateStays"
WIN64_TESTS+=":DialogsAbout.*:TextFit.*:Recording.StreamingStereo16IsTheSignal:Recording.OnMemoryMono8IsTheSignal"
WIN64_TESTS+=":*PlaybackModes.PcmReachesTheDeviceSampleForSample/Streaming:Playback.WidePcmAndExtensibleRecordsReachTheDevice"
WIN64_TESTS+=":Playback.Mp3PlaysThroughTheSystemCodec:*OggTones.ToneComesBackWholeAtItsPitch/Stereo44kStreaming"
WIN64_TESTS+=":OggPlayback.SixChannelsReachTheDeviceWhole:InfoDialogs.PcmWave:InfoDialogs.AdpcmWithFact"
WIN64_TESTS+=":InfoDialogs.Rmp3:InfoDialogs.OggWithAndWithoutNominalBitrate"
WIN64_TESTS+=":InfoDialogs.TagsOutsideTheTableAreNamedByTheCodecOrUnknown"
step "Wine environment, 64-bit"
if TAPEON_WINEARCH=win64 wine_env_start; then
  trap wine_env_stop EXIT
  run_e2e win64 "$WIN64_TESTS" LC_ALL=en_US.UTF-8
  wine_env_stop
  trap - EXIT
else
  echo "Wine environment, 64-bit: FAILED" | tally
fi

# The README's first command, as a user runs it (after the suite's own Wine
# environment is gone, so run.sh starts and stops its own).
step "The first command (run.sh)"
bash "$repo/tests/scripts/first_command.sh" 2>&1 | tally

# The release package as a user installs it, in a Wine prefix of its own.
step "The release package (scripts/package.sh)"
bash "$repo/tests/scripts/package_test.sh" 2>&1 | tally
finish
