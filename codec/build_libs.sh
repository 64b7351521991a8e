#!/bin/bash
# Builds libogg and libvorbis for i686 MinGW, static, from Debian's own source
# packages (apt-get source; scripts/setup.sh adds the source entries), into
# OUT/prefix for the Ogg Vorbis codec driver. Does nothing when they are built.
# Usage: codec/build_libs.sh OUT
set -euo pipefail
out=$1
prefix=$out/prefix
stamp=$prefix/.built
[ -f "$stamp" ] && exit 0
mkdir -p "$out"
exec 9>"$out/.lock"
flock 9
[ -f "$stamp" ] && exit 0

log=$out/build.log
: >"$log"
fail() {
  echo "codec libraries: $1 (log: $log)" >&2
  tail -n 20 "$log" >&2
  exit 1
}
echo "codec libraries: building libogg and libvorbis for i686-w64-mingw32 (once)"
src=$out/src
rm -rf "$src" "$prefix"
mkdir -p "$src" "$prefix/lib" "$prefix/include/vorbis"
(cd "$src" && apt-get source -qq libogg libvorbis) >>"$log" 2>&1 ||
  fail "apt-get source failed; is a deb-src entry configured (scripts/setup.sh)?"
ogg=$(echo "$src"/libogg-*/)
vorbis=$(echo "$src"/libvorbis-*/)
host=i686-w64-mingw32
common=(--host="$host" --prefix="$prefix" --disable-shared --enable-static -q)
(cd "$ogg" && ./configure "${common[@]}" CFLAGS=-O2 && make -s -j2 && make -s install) >>"$log" 2>&1 ||
  fail "libogg failed"
(cd "$vorbis" &&
  ./configure "${common[@]}" --disable-oggtest --disable-docs --disable-examples \
    OGG_CFLAGS="-I$prefix/include" OGG_LIBS="-L$prefix/lib -logg" &&
  make -s -j2 -C lib libvorbis.la) >>"$log" 2>&1 || fail "libvorbis failed"
cp "$vorbis/lib/.libs/libvorbis.a" "$prefix/lib/"
cp "$vorbis/include/vorbis/codec.h" "$prefix/include/vorbis/"
touch "$stamp"
