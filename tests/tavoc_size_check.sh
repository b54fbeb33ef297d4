#!/usr/bin/env bash
# tavoc --size on a small program worked out by hand and on a program at
# every table's limit; tavoc --check leaves a directory as it was.
source "$(dirname "$0")/testlib.sh"
cd "$work" || exit 1

# Header 0-6, tables t, w, d at 7-14, main from 15 to the RETURN at 106;
# globals x and i; constants t, w, d, OFF; the 33 reserved words and nine
# built-ins take 273 characters of the pool, x, i and main 9 more.
mkdir small && cp "$top/tests/golden/expressions/tables/o.src" small/
"$tavoc" --size small >small.out 2>/dev/null
cat >small.want <<'END'
Memory use of small/o.bin
  code image      107 of 12288 bytes    0.9%  (data tables 8 bytes)
  data memory       2 cells for globals
  stack           200 as the program asks
Tables
  symbol entries              4 of  5000    0.1%
  name pool characters      282 of 70000    0.4%
  globals                     2 of  3000    0.1%
  functions                  10 of  3000    0.3%
  names in word tables        0 of  1000    0.0%
Largest functions
  main                       92 bytes at 15
END
cmp -s small.want small.out || { echo "FAIL: --size of a small program"; diff small.want small.out; fail=1; }

# Every table at its limit.
python3 "$top/bench/gen.py" limits limits >/dev/null
"$tavoc" --size --format=json limits >limits.json
python3 - limits.json <<'END' || fail=1
import json, sys
doc = json.load(open(sys.argv[1]))
bad = [t for t in doc["size"]["tables"] if t["used"] != t["limit"]]
if doc["status"] != 0 or bad or doc["size"]["code"]["used"] < 12287:
    print("FAIL: the limits program is not at every limit:", doc["status"], bad, doc["size"]["code"])
    sys.exit(1)
END

# --check: the directory keeps its files, bytes and list, for a good and a
# failing program, with outputs of an earlier compilation in it; the report
# is the one a compilation in place gives, less the notes on its files.
snapshot() { (cd "$1" && find . -type f -o -type l | sort | xargs -r sha1sum); }
check_keeps() {  # check_keeps PROGRAM STATUS REPORT
  rm -rf chk && mkdir -p chk/Include && : >chk/dev.tvo
  echo 'func g(), 0;' >chk/Include/g.txt && echo g.txt >chk/o.fun
  printf 'var a;\nfunc main()\n  g();\nendfunc\n' >chk/o.src
  "$tavoc" chk >/dev/null 2>&1            # the outputs of an earlier compilation
  printf "$1" >chk/o.src
  local before rc
  before=$(snapshot chk)
  "$tavoc" --check --color=never chk >/dev/null 2>check.err
  rc=$?
  [ "$(snapshot chk)" = "$before" ] || { echo "FAIL: --check changed the directory"; fail=1; }
  [ $rc -eq "$2" ] || { echo "FAIL: --check status $rc"; fail=1; }
  [ "$(head -n 1 check.err)" = "$3" ] || { echo "FAIL: --check report"; cat check.err; fail=1; }
  ! grep -q 'o.bin: note' check.err || { echo "FAIL: --check speaks of an o.bin it did not leave"; fail=1; }
}
check_keeps 'func main()\n  x := 1;\nendfunc\n' 1 'chk/o.src:2:3: error: undefined variable or function'
check_keeps 'func main()\n  g();\nendfunc\n' 0 ''
rm -rf chk && mkdir chk && printf 'func main()\nendfunc\n' >chk/o.src
"$tavoc" --check chk >/dev/null 2>&1 || { echo "FAIL: --check of a good program"; fail=1; }
[ "$(ls chk)" = "o.src" ] || { echo "FAIL: --check left files"; ls chk; fail=1; }

finish tavoc_size_check
