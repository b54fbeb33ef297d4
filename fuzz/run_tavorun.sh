#!/usr/bin/env bash
# run_tavorun.sh FUZZER DIR [LIBFUZZER_OPTIONS...]
#
# Runs tavorun_fuzz from seeds made afresh from the golden cases: each
# case's expected image (o.bin.hex) and log (o.aux), as a program run and as
# a --call run (see tavorun_fuzz.cpp for the input layout). DIR/corpus is
# emptied first, so a fixed -runs and -seed give the same run every time.
# Inputs that fail are written to DIR/artifacts/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fuzzer=$1
dir=$2
shift 2
mkdir -p "$dir/artifacts"
dir=$(cd "$dir" && pwd)
rm -rf "$dir/seeds" "$dir/corpus"
mkdir -p "$dir/seeds" "$dir/corpus"

n=0
while IFS= read -r -d '' aux; do
  expected=$(dirname "$aux")
  [ -f "$expected/o.bin.hex" ] || continue
  hex=$(sed 's/#.*//' "$expected/o.bin.hex" | tr -d ' \t\n')
  len=$(( ${#hex} / 2 ))
  for flags in 00 01; do
    n=$((n + 1))
    seed="$dir/seeds/case-$n"
    printf "\\x$flags\\x00\\x$(printf %02x $((len & 255)))\\x$(printf %02x $((len >> 8)))" >"$seed"
    printf "$(echo "$hex" | sed 's/../\\x&/g')" >>"$seed"
    cat "$aux" >>"$seed"
  done
done < <(find "$here/../tests/golden" -name o.aux -path '*/expected/*' -print0 | sort -z)

exec "$fuzzer" -artifact_prefix="$dir/artifacts/" -max_len=16384 -timeout=20 \
  -rss_limit_mb=2048 -print_final_stats=1 "$@" "$dir/corpus" "$dir/seeds"
