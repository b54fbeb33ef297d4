#!/usr/bin/env bash
# compare_widths.sh BUILD [CORPUS_DIR...]
#
# Compiles every fuzz input with tavoc and by loading each Windows library
# under Wine (BUILD/windows-x64/ and BUILD/windows-x86/, each through its own
# tavohost.exe), and checks that every library leaves exactly tavoc's files.
# The inputs are the seeds (make_corpus.sh's golden and error cases, and
# fuzz/seeds/) and the files of each CORPUS_DIR, such as a corpus a fuzz run
# kept. Each input is laid out as tavo_fuzz does (split_input.py). A width
# whose files or Wine are missing, or that this machine cannot start, is left
# out and named. The Wine prefixes are those of the tests
# (BUILD/wine-prefix-WIDTH), created here if need be.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
shift
tavoc=$build/tavoc
[ -x "$tavoc" ] || { echo "no $tavoc: build first"; exit 2; }
work=$(mktemp -d)
servers=()
cleanup() {
  local s
  for s in "${servers[@]}"; do WINEPREFIX=${s#*=} "${s%%=*}" -k </dev/null >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT

# The widths that can run here: WIDTH=WINE each.
widths=()
for width in x64 x86; do
  if [ $width = x64 ]; then wine=/usr/lib/wine/wine64 winearch=win64; else wine=/usr/lib/wine/wine winearch=win32; fi
  dir=$build/windows-$width prefix=$build/wine-prefix-$width
  if [ ! -f "$dir/tavo.dll" ] || [ ! -f "$dir/tavohost.exe" ]; then
    echo "left out: $width (no $dir/tavo.dll)"; continue
  fi
  if ! timeout 60 "$wine" --version >/dev/null 2>&1; then
    echo "left out: $width ($wine does not start on this machine)"; continue
  fi
  if [ ! -e "$prefix/.tavo-ready" ]; then
    rm -rf "$prefix"
    WINEPREFIX=$prefix WINEARCH=$winearch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
      "$wine" wineboot --init >"$prefix.log" 2>&1 || { echo "left out: $width (wineboot failed)"; continue; }
    touch "$prefix/.tavo-ready"
  fi
  WINEPREFIX=$prefix "$(dirname "$wine")/wineserver" -p 30 </dev/null >/dev/null 2>&1
  servers+=("$(dirname "$wine")/wineserver=$prefix")
  widths+=("$width=$wine")
done

mkdir -p "$work/inputs"
bash "$here/make_corpus.sh" "$here/../tests" "$work/inputs" >/dev/null
cp "$here"/seeds/* "$work/inputs/"
for extra in "$@"; do
  find "$extra" -maxdepth 1 -type f -exec cp {} "$work/inputs/" \;
done

load() {  # load WIDTH WINE: the library of WIDTH compiles the case's copy
  # Into a file, not a pipe: Wine's services, which the first load starts,
  # would keep a pipe open.
  WINEPREFIX=$build/wine-prefix-$1 WINEDEBUG=-all timeout 120 "$2" \
    "$build/windows-$1/tavohost.exe" "$build/windows-$1/tavo.dll" "$work/case/$1" \
    >"$work/load.out" 2>&1
}

total=0 failed=0
for input in "$work/inputs"/*; do
  total=$((total + 1))
  name=${input##*/}
  rm -rf "$work/case"
  python3 "$here/split_input.py" "$input" "$work/case/in" || { echo "FAIL: $name: cannot split"; failed=$((failed + 1)); continue; }
  cp -R "$work/case/in" "$work/case/tavoc"
  (cd "$work/case/tavoc" && timeout 60 "$tavoc" . >/dev/null 2>&1)
  bad=0
  for w in "${widths[@]}"; do
    width=${w%%=*} wine=${w#*=}
    cp -R "$work/case/in" "$work/case/$width"
    # Wine now and then fails to start a program without a word: once more.
    if ! load "$width" "$wine" && { [ -s "$work/load.out" ] || ! load "$width" "$wine"; }; then
      echo "FAIL: $name: the $width load failed: $(cat "$work/load.out")"; bad=1
    elif ! diff -r "$work/case/tavoc" "$work/case/$width" >"$work/diff" 2>&1; then
      echo "FAIL: $name: $width differs from tavoc (< tavoc, > library)"; head -20 "$work/diff"
      bad=1
    fi
  done
  failed=$((failed + bad))
done
list=""
for w in "${widths[@]}"; do list+=" ${w%%=*}"; done
echo "compare_widths: $total inputs, tavoc against${list:- no library}: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ] && [ ${#widths[@]} -gt 0 ]
