#!/bin/bash
# The one configure-then-build step of run.sh, scripts/package.sh and test.sh.
# Source it, then:
#   build_tree DIR LOG [CMAKE-OPTION...] [-- TARGET...]
#       configures DIR with CMake for Ninja (again each time: CMake keeps what
#       has not changed) and builds the targets, all when none are given; the
#       output goes to LOG-configure.log and LOG-build.log, and on failure
#       their ends are shown on stderr and the call fails
#   build_tree_win32 LOG [TARGET...]
#       the same for build/win32, TAPEON.EXE and what goes with it, with the
#       MinGW-w64 i686 toolchain. Every script builds it alike: the directory
#       is shared, and its settings must not depend on which script ran first.

_BUILD_TREE_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_tree() {
  local dir=$1 log=$2
  shift 2
  local -a options=() targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  targets=("$@")
  mkdir -p "$(dirname "$log")" || return 1
  if ! cmake -S "$_BUILD_TREE_REPO" -B "$dir" -G Ninja "${options[@]}" >"$log-configure.log" 2>&1; then
    tail -n 40 "$log-configure.log" >&2
    return 1
  fi
  if ! ninja -C "$dir" "${targets[@]}" >"$log-build.log" 2>&1; then
    tail -n 40 "$log-build.log" >&2
    return 1
  fi
}

build_tree_win32() {
  local log=$1
  shift
  build_tree "$_BUILD_TREE_REPO/build/win32" "$log" \
    -DCMAKE_TOOLCHAIN_FILE="$_BUILD_TREE_REPO/cmake/mingw-i686.cmake" -- "$@"
}
