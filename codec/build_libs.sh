#!/bin/bash
# Builds libogg and libvorbis, static, from Debian's own source packages
# (apt-get source; scripts/setup.sh adds the source entries), with the
# patches in codec/*.patch applied to libvorbis, into OUT/prefix:
#   codec/build_libs.sh OUT          for i686 MinGW, for the codec driver
#   codec/build_libs.sh --fuzz OUT   natively with clang and the fuzzer's
#                                    instrumentation (the fuzz build)
# Both libraries get the same optimisation and -fstack-protector-strong
# -D_FORTIFY_SOURCE=2. The log (OUT/build.log) names the Debian source
# versions used. Does nothing when built by this script and these patches.
set -euo pipefail
mode=mingw
if [ "${1:-}" = "--fuzz" ]; then
  mode=fuzz
  shift
fi
out=${1:?usage: build_libs.sh [--fuzz] OUT}
mkdir -p "$out"
out=$(cd "$out" && pwd)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=$out/prefix
stamp=$prefix/.built
# What the built libraries depend on: this script, the patches, the mode.
recipe=$(cat "$0" "$here"/*.patch | sha256sum | cut -d' ' -f1)-$mode
built() { [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; }
built && exit 0
exec 9>"$out/.lock"
flock 9
built && exit 0

log=$out/build.log
: >"$log"
fail() {
  echo "codec libraries: $1 (log: $log)" >&2
  tail -n 20 "$log" >&2
  exit 1
}
flags="-O2 -fstack-protector-strong -D_FORTIFY_SOURCE=2"
if [ $mode = fuzz ]; then
  echo "codec libraries: building libogg and libvorbis with the fuzzer's instrumentation (once)"
  # libogg's bit reader shifts bytes into the sign bit of an int on purpose
  # (every compiler does what it means); that one check is left out.
  sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=shift-base -fno-sanitize-recover=all"
  env=(CC=clang "CFLAGS=-g $flags $sanitize")
  common=(--prefix="$prefix" --disable-shared --enable-static -q)
else
  echo "codec libraries: building libogg and libvorbis for i686-w64-mingw32 (once)"
  env=("CFLAGS=$flags")
  common=(--host=i686-w64-mingw32 --prefix="$prefix" --disable-shared --enable-static -q)
fi
src=$out/src
rm -rf "$src" "$prefix"
mkdir -p "$src" "$prefix/lib" "$prefix/include/vorbis"
(cd "$src" && apt-get source -qq libogg libvorbis) >>"$log" 2>&1 ||
  fail "apt-get source failed; is a deb-src entry configured (scripts/setup.sh)?"
ogg=$(echo "$src"/libogg-*/)
vorbis=$(echo "$src"/libvorbis-*/)
for dsc in "$src"/*.dsc; do
  echo "Debian source: $(sed -n 's/^Source: //p' "$dsc") $(sed -n 's/^Version: //p' "$dsc")"
done | tee -a "$log"
for patch in "$here"/*.patch; do
  (cd "$vorbis" && patch -p1 <"$patch") >>"$log" 2>&1 || fail "$(basename "$patch") does not apply"
done
(cd "$ogg" && ./configure "${common[@]}" "${env[@]}" && make -s -j2 && make -s install) >>"$log" 2>&1 ||
  fail "libogg failed"
(cd "$vorbis" &&
  ./configure "${common[@]}" "${env[@]}" --disable-oggtest --disable-docs --disable-examples \
    OGG_CFLAGS="-I$prefix/include" OGG_LIBS="-L$prefix/lib -logg" &&
  make -s -j2 -C lib libvorbis.la) >>"$log" 2>&1 || fail "libvorbis failed"
grep -h "^CFLAGS =" "$ogg/src/Makefile" "$vorbis/lib/Makefile" | sed 's/^/libogg, libvorbis: /' >>"$log"
cp "$vorbis/lib/.libs/libvorbis.a" "$prefix/lib/"
cp "$vorbis/include/vorbis/codec.h" "$prefix/include/vorbis/"
echo "$recipe" >"$stamp"
