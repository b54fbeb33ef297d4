#!/usr/bin/env bash
# make_corpus.sh TESTS_DIR OUT_DIR
#
# Converts the test cases into tavo_fuzz inputs, one file per case:
#   TESTS_DIR/golden/**/CASE/  o.src, then "%%o.fun" and o.fun, then
#                              "%%Include/NAME" and each function file (the
#                              first two), and "%%no dev.tvo" when the case
#                              has no dev.tvo; "%%dir NAME" for an input
#                              that is a directory (or an absent o.src)
#   TESTS_DIR/errors/*.src     the program alone
# A marker that follows a file without a final line end is written "%%~...",
# which tells tavo_fuzz to drop the line end put before it.
set -euo pipefail
tests=$1
out=$2
mkdir -p "$out"

# append FILE: the file's bytes as they are.
# marker TEXT: a marker line; after a file without a final line end, a line
# end and the "%%~" form.
append() {
  cat "$1" >>"$dest"
  open_line=0
  if [ -s "$1" ] && [ "$(tail -c 1 "$1" | od -An -tx1 | tr -d ' ')" != 0a ]; then open_line=1; fi
}
marker() {
  if [ "$open_line" = 1 ]; then printf '\n%%%%~%s\n' "$1"; else printf '%%%%%s\n' "$1"; fi >>"$dest"
  open_line=0
}

n=0
while IFS= read -r -d '' expected; do
  case_dir=$(dirname "$expected")
  rel=${case_dir#"$tests"/golden/}
  dest="$out/golden-${rel//\//-}"
  : >"$dest"
  open_line=0
  if [ -f "$case_dir/o.src" ]; then append "$case_dir/o.src"; else marker "dir o.src"; fi
  for f in o.fun dev.tvo; do
    if [ -d "$case_dir/$f" ]; then marker "dir $f"; fi
  done
  if [ -f "$case_dir/o.fun" ]; then
    marker o.fun
    append "$case_dir/o.fun"
  fi
  if [ -d "$case_dir/Include" ]; then
    k=0
    while IFS= read -r -d '' f; do
      [ $k -ge 2 ] && break
      marker "Include/$(basename "$f")"
      append "$f"
      k=$((k + 1))
    done < <(find "$case_dir/Include" -maxdepth 1 -type f -print0 | sort -z)
    while IFS= read -r -d '' f; do
      marker "dir Include/$(basename "$f")"
    done < <(find "$case_dir/Include" -mindepth 1 -maxdepth 1 -type d -print0 | sort -z)
  fi
  [ -e "$case_dir/dev.tvo" ] || marker "no dev.tvo"
  n=$((n + 1))
done < <(find "$tests/golden" -type d -name expected -print0 | sort -z)

for src in "$tests"/errors/*.src; do
  [ -f "$src" ] || continue
  cp "$src" "$out/error-$(basename "$src" .src)"
  n=$((n + 1))
done
echo "make_corpus: $n inputs in $out"
