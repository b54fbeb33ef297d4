#!/usr/bin/env bash
# no_compile_on_start.sh TAVOC TAVO_UNIT
#
# Programs that link the compiler statically must not compile by merely
# starting: only a load of the shared library does. Each runs, without
# compiling anything itself, in an empty directory that must stay empty.
set -u
tavoc=$1
unit=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

stays_empty() {  # stays_empty COMMAND...
  local dir
  dir=$(mktemp -d "$work/run.XXXX")
  (cd "$dir" && "$@" >/dev/null 2>&1)
  if [ -n "$(ls -A "$dir")" ]; then
    echo "FAIL: '$*' left files in its directory: $(ls -A "$dir" | tr '\n' ' ')"
    fail=1
  fi
}

stays_empty "$tavoc" --version
stays_empty "$unit" --gtest_list_tests
exit $fail
