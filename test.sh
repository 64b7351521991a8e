#!/bin/bash
# Builds everything and runs every test:
#   the include check of the layers, native unit tests (GCC,
#   AddressSanitizer + UndefinedBehaviorSanitizer),
#   each fuzz target (clang, libFuzzer) for a bounded time, then under Wine
#   the end-to-end tests in English, in Japanese, without the Ogg codec and
#   without a sound server, and a chosen set of them in a 64-bit prefix,
#   the README's first command, ./run.sh /R/T0.1, from another directory, and
#   last the release package in fresh 32-bit and 64-bit Wine prefixes
#   (tests/scripts/package_test.sh).
# Ends with "N passed, N failed, N skipped" and a non-zero status on failure.
# Logs are kept in build/test-logs/.
set -uo pipefail

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
# file on memory to its end.
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

step() { echo; echo "== $* ($((SECONDS - started)) s)"; }
record_failure() {
  failed=$((failed + 1))
  failures+=("$1")
  echo "FAILED: $1"
}
finish() {
  echo
  if [ ${#failures[@]} -gt 0 ]; then
    echo "Failures:"
    printf '  %s\n' "${failures[@]}"
  fi
  echo "Total time $((SECONDS - started)) s; logs in $logs"
  echo "$passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit
}

# Adds the counts of a GoogleTest run from its output (brief or full); a run
# that ended without its summary (crash, time-out) counts as one failure.
count_gtest() {
  local name=$1 log=$2 status=$3
  local ran ok skip bad
  ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$log" | tail -n 1)
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$log" | tail -n 1)
  skip=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?[.,].*/\1/p' "$log" | tail -n 1)
  if [ -z "$ran" ]; then
    record_failure "$name: ended with status $status before its summary"
    return
  fi
  ok=${ok:-0}
  skip=${skip:-0}
  bad=$((ran - ok - skip))
  passed=$((passed + ok))
  skipped=$((skipped + skip))
  if [ "$bad" -gt 0 ]; then
    failed=$((failed + bad))
    while read -r test; do failures+=("$name: $test"); done \
      < <(sed -n 's/^\[  FAILED  \] \([A-Za-z_][^ ,]*\.[^ ,]*\)[ ,].*/\1/p' "$log" | sort -u)
  elif [ "$status" -ne 0 ]; then
    record_failure "$name: ended with status $status"
  fi
}

# Runs a test script whose result lines read "PREFIX ...: ok ..." or
# "PREFIX ...: FAILED ..." and counts them. Usage: count_script PREFIX SCRIPT
count_script() {
  local prefix=$1 script=$2 line
  while read -r line; do
    echo "$line"
    case "$line" in
      "$prefix "*": ok"*) passed=$((passed + 1)) ;;
      "$prefix "*": FAILED"*) record_failure "${line%%: FAILED*}" ;;
    esac
  done < <(bash "$script" 2>&1)
}

# Configures and builds one tree with its logs in $logs/NAME-*.log; on failure
# shows their ends and records LABEL. Usage: build_tree LABEL NAME DIR CMAKE-OPTIONS...
build_tree() {
  local label=$1 name=$2 dir=$3
  shift 3
  if ! { cmake -S . -B "$dir" -G Ninja "$@" >"$logs/$name-configure.log" 2>&1 &&
         ninja -C "$dir" >"$logs/$name-build.log" 2>&1; }; then
    tail -n 40 "$logs/$name-configure.log" "$logs/$name-build.log" 2>/dev/null
    record_failure "$label"
    return 1
  fi
}

step "Setup"
if ! "$repo/scripts/setup.sh" >"$logs/setup.log" 2>&1; then
  tail -n 30 "$logs/setup.log"
  record_failure "setup"
  finish
fi

# ---- Include check: lower layers never include higher ones, no cycles ---------------
step "Include check"
if python3 tests/scripts/include_check.py >"$logs/include-check.log" 2>&1; then
  passed=$((passed + 1))
  tail -n 1 "$logs/include-check.log"
else
  cat "$logs/include-check.log"
  record_failure "include check (layers or cycles)"
fi

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
    tail -n 20 "$logs/fixtures-$name.log"
    record_failure "fixtures $name"
  fi
done

# ---- Native builds: unit tests (GCC, sanitizers), fuzz targets (clang) -----------
step "Native build (build/native)"
native_ok=1
build_tree "native build" native build/native -DCMAKE_CXX_COMPILER=g++ -DCMAKE_C_COMPILER=gcc || native_ok=0

if [ $native_ok = 1 ]; then
  step "Unit tests (ctest)"
  (cd build/native && ctest -j2 --timeout 600 --output-on-failure) >"$logs/ctest.log" 2>&1
  ctest_status=$?
  # From the summary line on: the counts and the names of failed tests.
  sed -n '/tests passed, /,$p' "$logs/ctest.log"
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$logs/ctest.log" | tail -n 1)
  if [ -n "$summary" ]; then
    total=$(echo "$summary" | sed 's/.* out of \([0-9]*\).*/\1/')
    bad=$(echo "$summary" | sed 's/.*passed, \([0-9]*\) tests\? failed.*/\1/')
    not_run=$(grep -c -E '\*\*\*Skipped|Not Run' "$logs/ctest.log")
    passed=$((passed + total - bad - not_run))
    skipped=$((skipped + not_run))
    if [ "$bad" -gt 0 ]; then
      failed=$((failed + bad))
      while read -r test; do failures+=("unit: $test"); done \
        < <(sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) (\(Failed\|Timeout\|SEGFAULT\|Subprocess aborted\|Exception\|Child aborted\).*/\1/p' "$logs/ctest.log")
    fi
  else
    tail -n 30 "$logs/ctest.log"
    record_failure "unit tests: ctest ended with status $ctest_status and no summary"
  fi
fi

step "Fuzz build (build/fuzz)"
fuzz_ok=1
build_tree "fuzz build" fuzz build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang || fuzz_ok=0

if [ $fuzz_ok = 1 ]; then
  step "Fuzzing (${FUZZ_SECONDS} s per target)"
  for src in tests/fuzz/*_fuzz.cpp; do
    [ -e "$src" ] || continue
    name=$(basename "$src" .cpp)
    exe="build/fuzz/$name"
    if [ ! -x "$exe" ]; then
      record_failure "fuzz $name: not built"
      continue
    fi
    work="build/fuzz/work/$name"
    mkdir -p "$work" build/fuzz/artifacts
    seeds=()
    [ -d "tests/fuzz/corpus/$name" ] && seeds=("tests/fuzz/corpus/$name")
    # The codec's inputs are Ogg streams (and driver messages around them):
    # setups at the decoder's limits take up to 256 KB.
    limits=()
    case $name in codec_*) limits=(-max_len=262144) ;; esac
    if timeout $((FUZZ_SECONDS + 120)) "$exe" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 \
         "${limits[@]}" -artifact_prefix="build/fuzz/artifacts/$name-" "$work" "${seeds[@]}" \
         >"$logs/fuzz-$name.log" 2>&1; then
      passed=$((passed + 1))
      echo "fuzz $name: ok ($(grep -o 'Done [0-9]* runs' "$logs/fuzz-$name.log" | tail -n 1))"
    else
      tail -n 40 "$logs/fuzz-$name.log"
      record_failure "fuzz $name (artifacts in build/fuzz/artifacts)"
    fi
  done
fi

# ---- Windows build and end-to-end tests under Wine ------------------------------
step "Windows build (build/win32)"
build_tree "Windows build" win32 build/win32 -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" || finish

step "Wine environment"
source "$repo/scripts/wine_env.sh"
if ! wine_env_start; then
  record_failure "Wine environment"
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
     { echo "sound loopback: $(tr -d '\r' <"$logs/loopback.log" | tail -n 1); trying once more"
       wine_env_run "$logs/loopback.log" "$loopback" 3; }; then
    passed=$((passed + 1))
    echo "sound loopback: $(tr -d '\r' <"$logs/loopback.log" | tail -n 1)"
  else
    cat "$logs/loopback.log"
    record_failure "sound loopback of the Wine environment"
  fi
fi

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
  timeout "$E2E_TIMEOUT" env "$@" wine "$e2e" --gtest_brief=1 --gtest_filter="$filter" </dev/null >"$log" 2>&1
  local status=$?
  tr -d '\r' <"$log" | grep -v -e '^ALSA lib' -e '^Running main() from' >"$log.txt"
  cat "$log.txt"
  count_gtest "e2e $name" "$log.txt" "$status"
  # A sound server that went away during the run (not by the device-loss
  # tests, which bring it back) is said so, and the next run gets a new one.
  if ! timeout 5 pactl info >/dev/null 2>&1; then
    echo "the sound server was gone after the $name run (its log: $logs/pulse.log); starting it again"
    _wine_env_start_sound
  fi
}
run_e2e english '-*NoSound*' LC_ALL=en_US.UTF-8
run_e2e japanese '-*NoSound*' LC_ALL=ja_JP.UTF-8
# Without the Ogg Vorbis codec driver, as on a system that has none.
TAPEON_CODEC=0 wine_env_codec
run_e2e no-codec '*WithoutCodec*' LC_ALL=en_US.UTF-8 TAPEON_CODEC=0
run_e2e no-codec-japanese '*WithoutCodec*' LC_ALL=ja_JP.UTF-8 TAPEON_CODEC=0
# The sound server out of reach (and ALSA off, in case the machine has a card):
# Wine then offers no wave devices.
run_e2e no-sound '*NoSound*' LC_ALL=en_US.UTF-8 PULSE_SERVER=unix:/nonexistent WINEDLLOVERRIDES=winealsa.drv=d

step "Stopping the Wine environment"
cp "$_WINE_ENV_STATE/pulse.log" "$logs/pulse.log" 2>/dev/null
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
WIN64_TESTS+=":*PlaybackModes.PcmReachesTheDeviceSampleForSample/Streaming:Playback.ThirtyTwoBitPcmReachesTheDeviceRounded"
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
  record_failure "Wine environment, 64-bit"
fi

# The README's first command, as a user runs it (after the suite's own Wine
# environment is gone, so run.sh starts and stops its own).
step "The first command (run.sh)"
count_script "first command" "$repo/tests/scripts/first_command.sh"

# The release package as a user installs it, in a Wine prefix of its own.
step "The release package (scripts/package.sh)"
count_script package "$repo/tests/scripts/package_test.sh"
finish
