#!/bin/bash
# The release package as a user gets it: scripts/package.sh makes the zip,
# which is unpacked into a fresh Wine prefix (its own, under build/, with no
# codec and nothing of the build in it) into a folder whose name has blanks
# and Japanese characters. There the codec is installed with its .inf as
# Windows does it (rundll32 setupapi.dll,InstallHinfSection), TAPEON.EXE plays
# an Ogg Vorbis file with /P (checked at its waveOutWrite), the codec is
# removed with the .inf again, after which the file gets "No support this
# format" and nothing of the codec is left. All of it twice: in a 32-bit
# prefix, and in a 64-bit one as on 64-bit Windows (the .inf's .NTamd64
# sections: SysWOW64 and the 32-bit registry view). Also: the names and text
# files of the zip, the version resources against the zip's name, and a
# package without vorbis.acm, whose install must leave the prefix as it was.
# Prints one line per case ("package <case>: ok" or "... FAILED: ...") and
# exits non-zero on a failure.
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build="$repo/build/win32"
work="$repo/build/package-test"
tool="$build/tests/wine/tool_package_play.exe"
failures=0

ok() { echo "package $1: ok${2:+ ($2)}"; }
failed() {
  echo "package $1: FAILED: $2"
  [ -n "${3:-}" ] && [ -f "$3" ] && tail -n 20 "$3"
  failures=$((failures + 1))
}

zip=$("$repo/scripts/package.sh") || { failed "build" "scripts/package.sh failed"; exit 1; }
version=$(basename "$zip" .zip)
version=${version#TAPEON-}
if [ ! -f "$tool" ]; then
  source "$repo/scripts/build_tree.sh"
  build_tree_win32 "$work" tool_package_play menu_probe 2>/dev/null ||
    { failed "build" "tool_package_play" "$work-build.log"; exit 1; }
fi

rm -rf "$work"
mkdir -p "$work"
logs="$work/logs"
mkdir -p "$logs"

# ---- The zip: names, text files, versions -------------------------------------
names=$(unzip -Z1 "$zip" | LC_ALL=C sort | xargs)
if [ "$names" != "README.TXT READMEJP.TXT TAPEON.EXE vorbis.acm vorbis.inf" ]; then
  failed "contents" "the zip holds: $names"
elif ! result=$(python3 - "$zip" "$version" 2>&1 <<'PY'
import re, struct, sys, zipfile
path, version = sys.argv[1], sys.argv[2]
z = zipfile.ZipFile(path)
for name in z.namelist():
    if not re.fullmatch(r'[A-Za-z0-9_]{1,8}(\.[A-Za-z0-9_]{1,3})?', name):
        sys.exit('%s is no 8.3 name' % name)
for name in ('README.TXT', 'READMEJP.TXT', 'vorbis.inf'):
    text = z.read(name)
    if text.count(b'\n') == 0 or text.count(b'\n') != text.count(b'\r\n'):
        sys.exit('%s has lines not ended by CRLF' % name)
    if version.encode() not in text and name != 'vorbis.inf':
        sys.exit('%s does not name version %s' % (name, version))
if 'レベルメータ' not in z.read('READMEJP.TXT').decode('cp932'):
    sys.exit('READMEJP.TXT is not Japanese in Shift-JIS')

def version_resource(data, name):
    """FileVersion and ProductVersion of each string block and the fixed
    version, from the VS_VERSION_INFO resource of a PE file."""
    pe, = struct.unpack_from('<I', data, 0x3C)
    sections, optional = struct.unpack_from('<H12xH', data, pe + 6)
    table = pe + 24 + optional
    rsrc = None
    for k in range(sections):
        sname, vsize, vaddr, rsize, raw = struct.unpack_from('<8sIIII', data, table + 40 * k)
        if sname.rstrip(b'\0') == b'.rsrc':
            rsrc = (vaddr, raw)
    if rsrc is None:
        sys.exit('%s has no resources' % name)
    base_rva, base = rsrc

    def entries(offset):
        named, ids = struct.unpack_from('<12xHH', data, base + offset)
        for k in range(named + ids):
            ident, target = struct.unpack_from('<II', data, base + offset + 16 + 8 * k)
            yield ident, target

    for ident, target in entries(0):
        if ident == 16:  # RT_VERSION
            _, names = next(entries(target & 0x7FFFFFFF))
            _, leaf = next(entries(names & 0x7FFFFFFF))
            rva, size = struct.unpack_from('<II', data, base + leaf)
            block = data[base + rva - base_rva: base + rva - base_rva + size]
            break
    else:
        sys.exit('%s has no version resource' % name)
    at = block.find(struct.pack('<I', 0xFEEF04BD))
    ms, ls = struct.unpack_from('<II', block, at + 8)
    fixed = '%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16)
    strings = {}
    for key in ('FileVersion', 'ProductVersion', 'OriginalFilename'):
        needle = (key + '\0').encode('utf-16-le')
        found, start = [], 0
        while (start := block.find(needle, start)) >= 0:
            start += len(needle)
            value = start + (-start % 4)
            end = block.find(b'\0\0', value)
            while end >= 0 and (end - value) % 2:
                end = block.find(b'\0\0', end + 1)
            found.append(block[value:end].decode('utf-16-le'))
        strings[key] = found
    languages = block.count('StringFileInfo'.encode('utf-16-le')) and \
        sum(block.count(code.encode('utf-16-le')) for code in ('040904E4', '041103A4'))
    return fixed, strings, languages

shown = []
for name, blocks in (('TAPEON.EXE', 2), ('vorbis.acm', 1)):
    fixed, strings, languages = version_resource(z.read(name), name)
    if fixed != version:
        sys.exit('%s: file version %s, the package is %s' % (name, fixed, version))
    for key in ('FileVersion', 'ProductVersion'):
        if strings[key] != [version] * blocks:
            sys.exit('%s: %s %s, the package is %s' % (name, key, strings[key], version))
    if strings['OriginalFilename'] != [name] * blocks or languages != blocks:
        sys.exit('%s: %d language blocks, original names %s' % (name, languages, strings['OriginalFilename']))
    shown.append('%s %s' % (name, fixed))
print(', '.join(shown))
PY
); then
  failed "contents" "$result"
else
  ok "contents and versions" "$result"
fi

# ---- In fresh prefixes: 32-bit, and 64-bit as most users have it ------------------
source "$repo/scripts/wine_env.sh"
unset TAPEON_WINE_ENV_ACTIVE
export TAPEON_CODEC=0
folder="TAPEON 版 テスト $version"
# The Ogg file: a six-second tone, long enough that the probe is in place
# well before the end.
sox -n -r 44100 -b 16 -c 2 "$work/tone.wav" synth 6 sine 440 vol 0.5 >"$logs/sox.log" 2>&1 &&
  oggenc -Q -o "$work/tone.ogg" "$work/tone.wav" >>"$logs/sox.log" 2>&1 ||
  { failed "fixture" "sox/oggenc" "$logs/sox.log"; exit 1; }

DRIVERS='HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32'
# What of the codec the prefix holds: files named vorbis.acm outside the
# unpacked folders (system32, SysWOW64 or anywhere else), registry lines that
# name it (the export of HKLM holds the 32-bit view of a 64-bit prefix too,
# under Wow6432Node), SYSTEM.INI lines.
codec_traces() {
  wine_env_run "$logs/regedit.log" regedit /E "C:\\hklm.reg" HKEY_LOCAL_MACHINE
  iconv -f UTF-16 -t UTF-8 "$drive_c/hklm.reg" 2>/dev/null | tr -d '\r' | grep -i 'vorbis'
  rm -f "$drive_c/hklm.reg"
  find "$drive_c" -iname vorbis.acm ! -path "$drive_c/$folder/*" | sed "s|^$drive_c|C:|"
  grep -is vorbis "$drive_c/windows/system.ini"
}
# The value msacm.vorbis in one view of the registry (/reg:32 or /reg:64).
drivers_value() {
  wine reg query "$DRIVERS" /v msacm.vorbis "$1" </dev/null 2>/dev/null | tr -d '\r' |
    awk '$1 == "msacm.vorbis" {print $3}'
}
# rundll32 setupapi.dll,InstallHinfSection SECTION 132 PATH: the path is the
# rest of the command line, unquoted, as Windows wants it. Wine 8's setup
# retries a missing source file without end (where Windows asks for it), so
# a setup still running after SECONDS is ended; returns 124 then. In a 64-bit
# prefix this is the 64-bit rundll32, as on 64-bit Windows.
inf_section() {
  local section=$1 path=$2 seconds=${3:-120} status pid
  # shellcheck disable=SC2086  # split on purpose: Wine joins the words with blanks
  timeout "$seconds" wine rundll32 setupapi.dll,InstallHinfSection "$section" 132 $path </dev/null \
    >"$logs/setup-$section.log" 2>&1
  status=$?
  if [ "$status" = 124 ]; then
    for pid in $(pgrep -f 'rundll32.exe setupapi.dll,InstallHinfSection'); do
      grep -qsz "^WINEPREFIX=$WINEPREFIX\$" "/proc/$pid/environ" && kill "$pid"
    done
  fi
  return "$status"
}
windows_path() { echo "C:\\${1#"$drive_c/"}" | tr / '\\'; }
# TAPEON plays the Ogg file, under a Japanese locale (the folder's name) and
# with what the sound server plays recorded into heard.raw.
play() {
  parec -d tapeon_null.monitor --format=s16le --rate=44100 --channels=1 --raw "$logs/heard-$1.raw" &
  local capture=$! status
  wine_env_run "$logs/play-$1.log" LC_ALL=ja_JP.UTF-8 "$tool" "$(windows_path "$drive_c/$folder/TAPEON.EXE")" \
    "$(windows_path "$drive_c/$folder/tone.ogg")"
  status=$?
  sleep 0.5
  kill "$capture"
  wait "$capture" 2>/dev/null
  return "$status"
}
# Seconds of the 440 Hz tone in a capture: 100 ms windows that are loud and
# cross zero about 88 times (a little of Wine's output may be lost).
heard_seconds() {
  python3 - "$logs/heard-$1.raw" <<'PY'
import array, sys
a = array.array('h', open(sys.argv[1], 'rb').read())
tone = 0
for start in range(0, len(a) - 4410, 4410):
    w = a[start:start + 4410]
    crossings = sum(1 for x, y in zip(w, w[1:]) if (x < 0) != (y < 0))
    if max(abs(v) for v in w) > 3000 and 80 <= crossings <= 96:
        tone += 1
print('%.1f' % (tone / 10))
PY
}
played_line() { tr -d '\r' <"$logs/play-$1.log" | grep -E '^(played|message|TAPEON)' | tail -n 1; }

# The cases in a fresh prefix of ARCH (win32 or win64; the 64-bit cases are
# named "win64 ..."). In a 64-bit prefix the 32-bit codec belongs in SysWOW64
# and its name in the 32-bit view of the registry, nothing in system32 or in
# the 64-bit view. A package without vorbis.acm is tried in the 32-bit prefix.
prefix_cases() {
  local arch=$1 tag="" system=system32 started status value heard after
  [ "$arch" = win64 ] && tag="win64 " system=syswow64
  export TAPEON_WINEARCH=$arch TAPEON_WINEPREFIX="$work/wineprefix-$arch"
  logs="$work/logs/$arch"
  mkdir -p "$logs"
  started=$SECONDS
  if ! wine_env_start; then
    failed "${tag}Wine prefix" "wine_env_start failed"
    return
  fi
  echo "package: fresh $arch prefix ready in $((SECONDS - started)) s"
  drive_c="$WINEPREFIX/drive_c"
  local installed="$drive_c/windows/$system/vorbis.acm" damaged="$drive_c/damaged package"
  mkdir -p "$drive_c/$folder"
  unzip -q "$zip" -d "$drive_c/$folder"
  cp "$work/tone.ogg" "$drive_c/$folder/"
  local before
  before=$(codec_traces)

  # ---- A package without vorbis.acm: the install changes nothing ----
  if [ "$arch" = win32 ]; then
    mkdir -p "$damaged"
    unzip -q "$zip" -x vorbis.acm -d "$damaged"
    inf_section DefaultInstall "$(windows_path "$damaged/vorbis.inf")" 10
    status=$?
    after=$(codec_traces)
    if [ "$after" != "$before" ]; then
      failed "without vorbis.acm" "the install left: $(diff <(echo "$before") <(echo "$after") | grep '^>' | xargs)"
    else
      ok "without vorbis.acm" "nothing installed$([ "$status" = 124 ] && echo "; setup still retrying the file after 10 s, ended")"
    fi
  fi

  # ---- Before: no codec ----
  play none
  status=$?
  if [ "$status" != 3 ] || [ "$(played_line none)" != "message: No support this format" ]; then
    failed "${tag}before the install" "status $status, $(played_line none)" "$logs/play-none.log"
  else
    ok "${tag}before the install" "$(played_line none)"
  fi

  # ---- Installed with the .inf: the Ogg file plays ----
  inf_section DefaultInstall "$(windows_path "$drive_c/$folder/vorbis.inf")"
  value=$(drivers_value /reg:32)
  local misplaced=""
  if [ "$arch" = win64 ]; then
    [ -e "$drive_c/windows/system32/vorbis.acm" ] && misplaced="vorbis.acm in system32"
    [ -n "$(drivers_value /reg:64)" ] && misplaced="$misplaced${misplaced:+, }msacm.vorbis in the 64-bit view"
  fi
  if [ ! -f "$installed" ] || [ "$value" != vorbis.acm ]; then
    failed "${tag}install" "$system/vorbis.acm $([ -f "$installed" ] && echo there || echo missing), msacm.vorbis='$value'" \
      "$logs/setup-DefaultInstall.log"
  elif ! cmp -s "$installed" "$drive_c/$folder/vorbis.acm"; then
    failed "${tag}install" "$system/vorbis.acm is not the package's"
  elif [ -n "$misplaced" ]; then
    failed "${tag}install" "$misplaced"
  else
    ok "${tag}install" "vorbis.acm in $system, msacm.vorbis=$value$([ "$arch" = win64 ] && echo " in the 32-bit view")"
  fi
  play installed
  status=$?
  heard=$(heard_seconds installed)
  if [ "$status" != 0 ]; then
    failed "${tag}play from \"C:\\$folder\"" "status $status, $(played_line installed)" "$logs/play-installed.log"
  elif awk -v h="$heard" 'BEGIN { exit !(h < 3) }'; then
    failed "${tag}play from \"C:\\$folder\"" "only $heard s of the 6 s tone heard"
  else
    ok "${tag}play from \"C:\\$folder\"" "$(played_line installed); $heard s of the tone heard"
  fi

  # ---- Removed with the .inf: as before ----
  inf_section DefaultUninstall "$(windows_path "$drive_c/$folder/vorbis.inf")"
  after=$(codec_traces)
  if [ "$after" != "$before" ]; then
    failed "${tag}uninstall" "left: $(diff <(echo "$before") <(echo "$after") | grep '^>' | xargs)" \
      "$logs/setup-DefaultUninstall.log"
  else
    ok "${tag}uninstall" "no file, no registry entry, no SYSTEM.INI line"
  fi
  play removed
  status=$?
  if [ "$status" != 3 ] || [ "$(played_line removed)" != "message: No support this format" ]; then
    failed "${tag}after the uninstall" "status $status, $(played_line removed)" "$logs/play-removed.log"
  else
    ok "${tag}after the uninstall" "$(played_line removed)"
  fi
  wine_env_stop
}

trap wine_env_stop EXIT
prefix_cases win32
prefix_cases win64

exit $((failures > 0))
