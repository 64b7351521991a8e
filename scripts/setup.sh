#!/bin/bash
# Installs what building, running and testing TAPEON needs on a Debian machine.
# Safe to run again: it only installs what is missing.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake ninja-build make g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  wine wine32:i386 wine64 fonts-wine fonts-ipafont-gothic xvfb pulseaudio pulseaudio-utils x11-utils xdotool
  sox lame twolame vorbis-tools imagemagick python3 locales zip unzip
  dpkg-dev xz-utils
)

missing=()
NEED_UPDATE=0
# Source entries beside the binary ones, for the Ogg Vorbis codec's libraries
# (codec/build_libs.sh builds them from Debian's source packages).
SOURCES=/etc/apt/sources.list.d/tapeon-deb-src.sources
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$SOURCES"
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >"${SOURCES%.sources}.list"
  fi
  NEED_UPDATE=1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  NEED_UPDATE=1
fi
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ ${#missing[@]} -gt 0 ] || [ "$NEED_UPDATE" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  # The codec libraries' sources are fetched while the packages install
  # (apt-get source takes no lock of the package system).
  mkdir -p "$repo/build"
  "$repo/codec/build_libs.sh" --fetch >"$repo/build/deb-src.log" 2>&1 &
  fetching=$!
  echo "setup: installing ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  wait "$fetching" || echo "setup: fetching the codec libraries' sources failed (build/deb-src.log); trying again"
fi
# libogg and libvorbis for i686 MinGW, built once into build/codec-libs.
"$repo/codec/build_libs.sh" "$repo/build/codec-libs" ||
  echo "setup: without libogg/libvorbis for MinGW the Ogg Vorbis codec driver is not built"

# The English and Japanese sessions run under these locales. Wine takes the
# Windows code page from the locale's name, but converts command-line
# arguments and file names with the Unix locale's own character set, so a
# Japanese file name only arrives intact when the locale really exists.
LOCALES=(en_US.UTF-8 ja_JP.UTF-8)
for l in "${LOCALES[@]}"; do
  if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
    grep -qx "$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" >>/etc/locale.gen
    NEED_LOCALES=1
  fi
done
if [ -n "${NEED_LOCALES:-}" ]; then
  echo "setup: generating locales ${LOCALES[*]}"
  locale-gen >/dev/null
fi
