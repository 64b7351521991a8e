#!/bin/bash
# Installs what building, running and testing TAPEON needs on a Debian machine.
# Safe to run again: it only installs what is missing.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake ninja-build make g++ clang libclang-rt-14-dev
  googletest libgtest-dev libbenchmark-dev
  wine wine32:i386 fonts-wine fonts-ipafont-gothic xvfb pulseaudio pulseaudio-utils x11-utils xdotool
  sox lame vorbis-tools imagemagick python3
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  NEED_UPDATE=1
fi
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
