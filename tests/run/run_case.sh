#!/usr/bin/env bash
# run_case.sh TAVOC TAVORUN CASE_DIR
#
# One tavorun case: the program (o.src with its function files, or a
# hand-made image o.bin.hex with its o.aux, or the files of the directory a
# file "from" names, relative to the case) is compiled once in a fresh
# directory, then run once per run-NAME/ folder of the case:
#   run-NAME/args     tavorun's arguments (shell words; DIR is added first)
#   run-NAME/stdin    standard input (default: empty)
#   run-NAME/stdout   expected standard output, byte for byte
#   run-NAME/status   expected exit status (default 0)
#   run-NAME/stderr   lines each of which must occur in standard error
#   run-NAME/files/F  expected content of the file F the run writes
set -u
tavoc=$1
tavorun=$2
case_dir=$(cd "$3" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

for f in "$case_dir"/*; do
  case $(basename "$f") in run-*) continue ;; esac
  cp -R "$f" "$work/"
done
if [ -f "$case_dir/from" ]; then
  cp -R "$case_dir/$(cat "$case_dir/from")"/. "$work/"
fi
if [ -f "$work/o.src" ]; then
  (cd "$work" && "$tavoc" . >/dev/null 2>&1)
elif [ -f "$work/o.bin.hex" ]; then
  hex=$(sed 's/#.*//' "$work/o.bin.hex" | tr -d ' \t\n')
  printf "$(echo "$hex" | sed 's/../\\x&/g')" >"$work/o.bin"
fi

for run in "$case_dir"/run-*/; do
  name=$(basename "$run")
  out="$work/.$name"
  mkdir -p "$out"
  args=()
  [ -f "$run/args" ] && eval "args=($(cat "$run/args"))"
  input=/dev/null
  [ -f "$run/stdin" ] && input="$run/stdin"
  (cd "$out" && "$tavorun" "$work" "${args[@]}" <"$input" >"$out/.stdout" 2>"$out/.stderr")
  status=$?
  want=0
  [ -f "$run/status" ] && want=$(cat "$run/status")
  if [ "$status" != "$want" ]; then
    echo "$name: exit status $status, expected $want"
    fail=1
  fi
  if [ -f "$run/stdout" ] && ! cmp -s "$run/stdout" "$out/.stdout"; then
    echo "$name: standard output differs"
    diff <(od -c "$run/stdout") <(od -c "$out/.stdout") | head -20
    fail=1
  fi
  if [ -f "$run/stderr" ]; then
    while IFS= read -r line; do
      [ -z "$line" ] && continue
      if ! grep -qF -- "$line" "$out/.stderr"; then
        echo "$name: standard error lacks: $line"
        fail=1
      fi
    done <"$run/stderr"
  fi
  if [ -d "$run/files" ]; then
    for f in "$run"/files/*; do
      if ! cmp -s "$f" "$out/$(basename "$f")"; then
        echo "$name: file $(basename "$f") differs or is missing"
        fail=1
      fi
    done
  fi
  if [ $fail != 0 ]; then
    echo "--- $name: standard error"
    cat "$out/.stderr"
    break
  fi
done
exit $fail
