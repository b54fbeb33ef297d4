#!/usr/bin/env bash
# run_error.sh TAVOC FILE.src
#
# FILE.src is a whole program whose first line is a comment "// EXPECT: ..."
# holding the exact first line of "o.err" that compiling it must give.
set -u
tavoc=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src" "$work/o.src"
(cd "$work" && "$tavoc" . >/dev/null 2>&1)
want=$(head -n 1 "$src" | sed -n 's|^// EXPECT: ||p')
got=$(head -n 1 "$work/o.err")
if [ "$want" != "$got" ]; then
  echo "FAIL: $src"
  echo "  expected: $want"
  echo "  got:      $got"
  exit 1
fi
echo "ok: $src"
