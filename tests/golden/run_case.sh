#!/usr/bin/env bash
# run_case.sh TAVOC CASE_DIR [OPTION...]
#
# Runs one golden case: copies the case's inputs (everything but expected/)
# into a fresh directory, runs tavoc there once, and compares each file of
# expected/ byte for byte with what came out.
#   expected/NAME       must equal the output NAME
#   expected/o.bin.hex  the image as hex bytes; '#' starts a comment
#   expected/absent     names of files that must not exist, one per line
#   expected/status     tavoc's exit status (0, 1 or 2)
# The OPTIONs go to tavoc. Warnings change no file; with -Werror an
# expected status 0 may be 1.
set -u
tavoc=$1
case_dir=$2
shift 2
werror=0
for o in "$@"; do [ "$o" = -Werror ] && werror=1; done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for f in "$case_dir"/* "$case_dir"/.[!.]*; do
  [ -e "$f" ] || continue
  [ "$(basename "$f")" = expected ] && continue
  cp -R "$f" "$work/"
done

(cd "$work" && "$tavoc" "$@" . >/dev/null 2>"$work/.stderr")
status=$?
fail=0

hexdump_file() { od -An -v -tx1 "$1" | tr -s ' \n' '\n\n' | sed '/^$/d'; }
hexdump_expected() { sed 's/#.*//' "$1" | tr -s ' \t\n' '\n\n\n' | sed '/^$/d' | tr 'A-F' 'a-f'; }

for exp in "$case_dir"/expected/*; do
  name=$(basename "$exp")
  case "$name" in
    absent)
      while IFS= read -r f || [ -n "$f" ]; do
        [ -z "$f" ] && continue
        if [ -e "$work/$f" ]; then echo "FAIL: $f exists but must not"; fail=1; fi
      done <"$exp"
      ;;
    status)
      want=$(tr -d ' \n' <"$exp")
      if [ "$werror" = 1 ] && [ "$want" = 0 ] && [ "$status" = 1 ]; then
        :
      elif [ "$status" != "$want" ]; then echo "FAIL: exit status $status, expected $want"; fail=1; fi
      ;;
    *.hex)
      out=${name%.hex}
      if [ "$out" != o ] && [ "${out##*.}" = bin ]; then
        if [ ! -e "$work/$out" ]; then echo "FAIL: $out missing"; fail=1; continue; fi
        if ! diff -u <(hexdump_expected "$exp") <(hexdump_file "$work/$out") >"$work/.diff"; then
          echo "FAIL: $out differs (hex bytes, one per line; - expected, + actual)"
          cat "$work/.diff"
          fail=1
        fi
        continue
      fi
      ;&
    *)
      if [ ! -e "$work/$name" ]; then echo "FAIL: $name missing"; fail=1; continue; fi
      if ! cmp -s "$exp" "$work/$name"; then
        echo "FAIL: $name differs (- expected, + actual)"
        diff -u "$exp" "$work/$name" | cat -A | head -100
        fail=1
      fi
      ;;
  esac
done

if [ $fail -ne 0 ]; then
  echo "--- o.err of this run:"
  cat "$work/o.err" 2>/dev/null
  exit 1
fi
echo "ok: $case_dir"
