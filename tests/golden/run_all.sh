#!/usr/bin/env bash
# run_all.sh TAVOC OPTION...
#
# Runs every golden case with the OPTIONs given to tavoc (warnings switched
# on, say) and checks that each still leaves exactly its expected files.
set -u
tavoc=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
cases=0 failed=0
while IFS= read -r expected; do
  case_dir=$(dirname "$expected")
  cases=$((cases + 1))
  if ! out=$(bash "$here/run_case.sh" "$tavoc" "$case_dir" "$@"); then
    echo "$out"
    failed=$((failed + 1))
  fi
done < <(find "$here" -type d -name expected | sort)
echo "$((cases - failed)) passed, $failed failed"
[ "$cases" -gt 0 ] && [ "$failed" -eq 0 ]
