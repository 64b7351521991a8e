#!/bin/bash
# Builds the release package build/dist/TAPEON-<version>.zip: TAPEON.EXE,
# vorbis.acm, vorbis.inf, README.TXT (English) and READMEJP.TXT (Japanese,
# Shift-JIS), text files with CRLF line ends, every name in 8.3 form.
#   scripts/package.sh          prints the path of the zip
# The version is the one of project(... VERSION ...) in CMakeLists.txt, the
# same that the files' version resources carry.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build/win32"
dist="$repo/build/dist"

source "$repo/scripts/build_tree.sh"
build_tree_win32 "$build-package" TAPEON vorbis_acm || exit 1
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package: no project version in $build/CMakeCache.txt" >&2; exit 1; }

stage=$(mktemp -d "${TMPDIR:-/tmp}/tapeon-package.XXXXXX")
trap 'rm -rf "$stage"' EXIT
cp "$build/TAPEON.EXE" "$stage/TAPEON.EXE"
cp "$build/codec/vorbis.acm" "$stage/vorbis.acm"
# Text: the version filled in, CRLF line ends; the Japanese one in Shift-JIS
# (code page 932, what a Japanese Windows shows in Notepad).
crlf() { sed -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/'; }
crlf <"$repo/codec/vorbis.inf" >"$stage/vorbis.inf"
crlf <"$repo/docs/readme_en.txt" >"$stage/README.TXT"
crlf <"$repo/docs/readme_ja.txt" | iconv -f UTF-8 -t CP932 >"$stage/READMEJP.TXT"

mkdir -p "$dist"
zip_path="$dist/TAPEON-$version.zip"
rm -f "$zip_path"
# Fixed times and order, so the same build gives the same zip.
touch -d "@$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 0)" "$stage"/*
(cd "$stage" && zip -q -X -D "$zip_path" TAPEON.EXE vorbis.acm vorbis.inf README.TXT READMEJP.TXT)
echo "$zip_path"
