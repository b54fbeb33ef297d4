#!/usr/bin/env bash
# run.sh smoke FUZZER DIR [LIBFUZZER_OPTIONS...]
# run.sh long  FUZZER DIR SECONDS [LIBFUZZER_OPTIONS...]
#
# Runs tavo_fuzz on one core with the language's dictionary. The seeds are
# made afresh from tests/ (make_corpus.sh) and fuzz/seeds/.
#   smoke: starts from the seeds alone in a fresh DIR/corpus, so that a fixed
#          -runs and -seed give the same run every time (CTest uses it).
#   long:  keeps DIR/corpus between runs and fuzzes for SECONDS.
# Inputs that fail are written to DIR/artifacts/; reproduce one with
#   FUZZER DIR/artifacts/crash-...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=$1
fuzzer=$2
dir=$3
shift 3
time_opts=()
if [ "$mode" = long ]; then
  time_opts=(-max_total_time="$1")
  shift
elif [ "$mode" != smoke ]; then
  echo "usage: run.sh smoke|long FUZZER DIR ..." >&2
  exit 2
fi

# tavo_fuzz works in a directory of its own, so every path must be absolute.
mkdir -p "$dir/artifacts"
dir=$(cd "$dir" && pwd)
fuzzer=$(cd "$(dirname "$fuzzer")" && pwd)/$(basename "$fuzzer")
rm -rf "$dir/seeds"
bash "$here/make_corpus.sh" "$here/../tests" "$dir/seeds" >/dev/null
cp "$here"/seeds/* "$dir/seeds/"
[ "$mode" = smoke ] && rm -rf "$dir/corpus"
mkdir -p "$dir/corpus"

exec "$fuzzer" -dict="$here/tavo.dict" -artifact_prefix="$dir/artifacts/" \
  -max_len=16384 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  "${time_opts[@]}" "$@" "$dir/corpus" "$dir/seeds"
