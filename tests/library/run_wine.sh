#!/usr/bin/env bash
# run_wine.sh WINE PREFIX HOST_EXE DLL TAVOC GOLDEN_DIR
#
# The Windows library under Wine: tavohost.exe loads tavo.dll in each golden
# case (run_loads.sh does the comparing). Skipped, with exit status 77, when
# Wine is missing or tavo.dll was not cross-built. The Wine prefix lives in
# the build tree and is created on the first run only (that takes a while).
set -u
wine=$1
prefix=$2
host_exe=$3
dll=$4
tavoc=$5
golden=$6
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "SKIPPED: $*"; exit 77; }
[ -x "$wine" ] || skip "Wine is not installed (Debian package wine64)"
[ -f "$dll" ] && [ -f "$host_exe" ] ||
  skip "tavo.dll was not cross-built (Debian package g++-mingw-w64-x86-64-posix)"

# Built statically against the C and C++ runtimes, the DLL needs nothing but
# Windows' own DLLs.
objdump=$(command -v x86_64-w64-mingw32-objdump || true)
if [ -n "$objdump" ]; then
  imports=$("$objdump" -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  if [ "$imports" != "kernel32.dll msvcrt.dll " ]; then
    echo "FAIL: tavo.dll imports $imports(expected kernel32.dll msvcrt.dll only)"
    exit 1
  fi
fi

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -e "$prefix/.tavo-ready" ]; then
  echo "creating the Wine prefix $prefix"
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
# second instead of several. It is stopped at the end, and would stop by
# itself half a minute after the last load anyway.
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
if [ -n "$wineserver" ]; then
  "$wineserver" -p 30 </dev/null >/dev/null 2>&1
  trap '"$wineserver" -k </dev/null >/dev/null 2>&1' EXIT
fi

TAVO_LOAD_RETRY=1 bash "$here/run_loads.sh" "$tavoc" "$golden" "$wine" "$host_exe" "$dll"
