#!/usr/bin/env bash
# run_wine.sh WIDTH WINE PREFIX HOST_EXE DLL TAVOC GOLDEN_DIR
#
# One Windows library under Wine: the tavohost.exe of the same WIDTH (x64 or
# x86) loads tavo.dll in each golden case (run_loads.sh does the comparing).
# WINE is the Wine loader of that width (wine64, or the 32-bit wine). First
# the files themselves are checked: both are Windows files of WIDTH, import
# nothing but Windows' own DLLs, and the DLL exports LibMain under its plain
# name (and, 32-bit, has the stdcall entries the loader and hosts call).
# Skipped, with exit status 77, when the files were not cross-built, when
# Wine of that width is missing, or when this machine cannot start a 32-bit
# program at all. The Wine prefix lives in the build tree and is created on
# the first run only (that takes a while).
set -u
width=$1
wine=$2
prefix=$3
host_exe=$4
dll=$5
tavoc=$6
golden=$7
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
case $width in
  x64) arch=x86_64 format=pei-x86-64 winearch=win64 pkg=g++-mingw-w64-x86-64-posix winepkg=wine64 ;;
  x86) arch=i686 format=pei-i386 winearch=win32 pkg=g++-mingw-w64-i686-posix winepkg=wine32:i386 ;;
  *) fail "unknown width '$width' (x64 or x86)" ;;
esac
[ -f "$dll" ] && [ -f "$host_exe" ] ||
  skip "the $width tavo.dll was not cross-built (Debian package $pkg)"

# The files: checked with the cross binutils, which come with the compiler.
objdump=$(command -v "$arch-w64-mingw32-objdump" || true)
[ -n "$objdump" ] || fail "$arch-w64-mingw32-objdump is missing (Debian package binutils-mingw-w64)"
for f in "$dll" "$host_exe"; do
  got=$("$objdump" -f "$f" | sed -n 's/.*file format //p')
  [ "$got" = "$format" ] || fail "${f##*/} is '$got', not $format"
  # Linked statically against the C and C++ runtimes, each needs nothing
  # but Windows' own DLLs.
  imports=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  [ "$imports" = "kernel32.dll msvcrt.dll " ] ||
    fail "${f##*/} imports $imports(expected kernel32.dll msvcrt.dll only)"
done
# The export table: one name, LibMain, as GetProcAddress is asked for it.
exports=$("$objdump" -p "$dll" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | tr '\n' ' ')
[ "$exports" = "LibMain " ] || fail "tavo.dll exports '$exports' (expected LibMain alone)"
if [ "$width" = x86 ]; then
  # On 32-bit Windows the loader's DllMain and LibMain are stdcall (the
  # callee pops its 12 bytes of arguments): their symbols say so with "@12".
  # DllMain@12 is the one the C runtime's DLL start-up calls; without it a
  # default that does nothing would be linked in.
  symbols=$("$objdump" -t "$dll")
  for s in _DllMain@12 _LibMain@12; do
    grep -q " $s\$" <<<"$symbols" || fail "tavo.dll has no stdcall symbol $s"
  done
fi

[ -n "$wine" ] && [ -x "$wine" ] || skip "Wine for $width is not installed (Debian package $winepkg)"
# A kernel without 32-bit support (or a virtual machine that gives it none)
# cannot start the 32-bit Wine loader at all.
if ! timeout 60 "$wine" --version >/dev/null 2>&1; then
  skip "this machine cannot start $wine (no support for $width programs in its kernel?)"
fi

export WINEPREFIX=$prefix WINEARCH=$winearch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -e "$prefix/.tavo-ready" ]; then
  echo "creating the Wine prefix $prefix"
  rm -rf "$prefix"
  if ! "$wine" wineboot --init >"$prefix.log" 2>&1; then
    echo "FAIL: wineboot could not create the prefix:"
    cat "$prefix.log"
    exit 1
  fi
  touch "$prefix/.tavo-ready"
fi
flock -u 9

# Wine's own services start with the first program and stop with the last;
# a server that stays up between the loads keeps each load well under a
# second instead of several. Each width has a prefix and so a server of its
# own, stopped at the end here (it would stop by itself half a minute after
# the last load anyway).
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
if [ -n "$wineserver" ]; then
  "$wineserver" -p 30 </dev/null >/dev/null 2>&1
  trap '"$wineserver" -k </dev/null >/dev/null 2>&1' EXIT
fi

TAVO_LOAD_RETRY=1 bash "$here/run_loads.sh" "$tavoc" "$golden" "$wine" "$host_exe" "$dll"
