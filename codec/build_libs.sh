#!/bin/bash
# Builds libogg and libvorbis, static, from Debian's own source packages
# (apt-get source; scripts/setup.sh adds the source entries), with the
# patches codec/libogg-*.patch and codec/libvorbis-*.patch applied, into
# OUT/prefix:
#   codec/build_libs.sh OUT            for i686 MinGW, for the codec driver
#   codec/build_libs.sh --fuzz OUT     natively with clang and the fuzzer's
#                                      instrumentation (the fuzz build)
#   codec/build_libs.sh --native OUT   natively with GCC under the
#                                      sanitizers of the unit tests
#   codec/build_libs.sh --fetch        only fetches the sources (below)
# Every allocation of both libraries goes to the codec's per-stream memory
# budget (codec/libogg-stream-budget.patch), so whatever links them provides
# the stream_budget_* functions (codec/stream_budget.cpp). Both libraries get
# the same optimisation and -fstack-protector-strong -D_FORTIFY_SOURCE=2.
# The log (OUT/build.log) names the Debian source versions used. Does nothing
# when already built by this script, these patches, this mode and the Debian
# source versions apt offers now (when apt can say; otherwise what is built
# stays).
set -euo pipefail
mode=mingw
case "${1:-}" in
  --fuzz) mode=fuzz; shift ;;
  --native) mode=native; shift ;;
  --fetch) mode=fetch; shift ;;
esac
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The newest source version apt knows of a package (what apt-get source
# fetches), or nothing when it cannot say (no source lists).
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}
# Debian's source packages are fetched once (apt-get source) into a cache that
# the three builds share, build/deb-src beside them (TAPEON_DEB_SRC), and
# fetched again only for a version apt offers that the cache lacks; each
# build unpacks its own copy. `build_libs.sh --fetch` only fills the cache
# (scripts/setup.sh, while it installs the packages).
cache=${TAPEON_DEB_SRC:-$(cd "$here/.." && pwd)/build/deb-src}
fetch_sources() {
  mkdir -p "$cache" || return 1
  (
    flock 8
    cd "$cache" || exit 1
    for name in libogg libvorbis; do
      version=$(source_version "$name")
      [ -n "$version" ] && [ -f "${name}_${version#*:}.dsc" ] && continue
      apt-get source -qq --download-only "$name" || exit 1
    done
  ) 8>"$cache.lock"
}
if [ "$mode" = fetch ]; then
  fetch_sources
  exit
fi
out=${1:?usage: build_libs.sh [--fuzz|--native|--fetch] OUT}
mkdir -p "$out"
out=$(cd "$out" && pwd)
prefix=$out/prefix
stamp=$prefix/.built
versions="libogg $(source_version libogg), libvorbis $(source_version libvorbis)"
# What the built libraries depend on: this script, the patches, the mode,
# and the source versions.
recipe="$(cat "$0" "$here"/libogg-*.patch "$here"/libvorbis-*.patch | sha256sum | cut -d' ' -f1)-$mode"
built() {
  [ -f "$stamp" ] || return 1
  local stamped
  stamped=$(cat "$stamp")
  case "$versions" in
    "libogg , libvorbis ") [ "${stamped%% (*}" = "$recipe" ] ;;  # apt cannot say: keep them
    *) [ "$stamped" = "$recipe ($versions)" ] ;;
  esac
}
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
# libogg's bit reader shifts bytes into the sign bit of an int on purpose
# (every compiler does what it means); under the sanitizers that one check
# is left out.
case $mode in
  fuzz)
    echo "codec libraries: building libogg and libvorbis with the fuzzer's instrumentation (once)"
    sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=shift-base -fno-sanitize-recover=all"
    env=(CC=clang "CFLAGS=-g $flags $sanitize")
    common=(--prefix="$prefix" --disable-shared --enable-static -q)
    ;;
  native)
    echo "codec libraries: building libogg and libvorbis under the sanitizers (once)"
    sanitize="-fsanitize=address,undefined -fno-sanitize=shift-base -fno-sanitize-recover=all -fno-omit-frame-pointer"
    env=(CC=gcc "CFLAGS=-g $flags $sanitize" "LDFLAGS=$sanitize")
    common=(--prefix="$prefix" --disable-shared --enable-static -q)
    ;;
  *)
    echo "codec libraries: building libogg and libvorbis for i686-w64-mingw32 (once)"
    env=("CFLAGS=$flags")
    common=(--host=i686-w64-mingw32 --prefix="$prefix" --disable-shared --enable-static -q)
    ;;
esac
src=$out/src
rm -rf "$src" "$prefix"
mkdir -p "$src" "$prefix/lib" "$prefix/include/vorbis"
fetch_sources >>"$log" 2>&1 || fail "apt-get source failed; is a deb-src entry configured (scripts/setup.sh)?"
for name in libogg libvorbis; do
  dsc=$(ls "$cache/${name}_"*.dsc | sort -V | tail -n 1)
  (cd "$src" && dpkg-source -x "$dsc") >>"$log" 2>&1 || fail "dpkg-source -x $(basename "$dsc") failed"
done
ogg=$(echo "$src"/libogg-*/)
vorbis=$(echo "$src"/libvorbis-*/)
fetched=$(for name in libogg libvorbis; do
  echo "$name $(sed -n 's/^Version: //p' "$(ls "$cache/${name}_"*.dsc | sort -V | tail -n 1)")"
done | paste -sd, - | sed 's/,/, /')
echo "Debian source: $fetched" | tee -a "$log"
apply() {
  local dir=$1 patch
  shift
  for patch in "$@"; do
    (cd "$dir" && patch -p1 <"$patch") >>"$log" 2>&1 || fail "$(basename "$patch") does not apply"
  done
}
apply "$ogg" "$here"/libogg-*.patch
apply "$vorbis" "$here"/libvorbis-*.patch
# libogg's own test programs are not built (they would need the budget's
# functions); only the library.
(cd "$ogg" && ./configure "${common[@]}" "${env[@]}" && make -s -j2 -C src libogg.la &&
  make -s -C src install-libLTLIBRARIES && make -s -C include install) >>"$log" 2>&1 ||
  fail "libogg failed"
(cd "$vorbis" &&
  ./configure "${common[@]}" "${env[@]}" --disable-oggtest --disable-docs --disable-examples \
    OGG_CFLAGS="-I$prefix/include" OGG_LIBS="-L$prefix/lib -logg" &&
  make -s -j2 -C lib libvorbis.la) >>"$log" 2>&1 || fail "libvorbis failed"
grep -h "^CFLAGS =" "$ogg/src/Makefile" "$vorbis/lib/Makefile" | sed 's/^/libogg, libvorbis: /' >>"$log"
cp "$vorbis/lib/.libs/libvorbis.a" "$prefix/lib/"
cp "$vorbis/include/vorbis/codec.h" "$prefix/include/vorbis/"
# Stamped with the versions fetched (apt-get source takes the newest).
echo "$recipe ($fetched)" >"$stamp"
