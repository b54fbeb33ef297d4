#!/usr/bin/env bash
# tavoc's warnings: their form on standard error and in JSON, the -W
# options, -Werror's exit status, and files that stay what they are.
source "$(dirname "$0")/testlib.sh"
run() {  # run OPTION...: compiles $work/p, leaves its stderr in $work/err
  (cd "$work/p" && "$tavoc" "$@" >"$work/out" 2>"$work/err")
}

mkdir "$work/p"
printf 'var g;\nfunc main()\n  var i, t;\n  i := 70000;\nendfunc\n' >"$work/p/o.src"

run
check "warnings alone: exit 0" test $? -eq 0
check "the warning, its line and caret" cmp -s "$work/err" - <<'END'
o.src:4:8: warning: 70000 does not fit in 16 bits; the module gets 4464 [-Woverflow]
    4 |   i := 70000;
      |        ^
o.src:3:10: warning: local 't' is never used [-Wunused-local]
    3 |   var i, t;
      |          ^
END
check "o.err has no warning" test ! -s "$work/p/o.err"
mkdir "$work/plain"
cp "$work/p"/o.* "$work/plain/"

run -Wall -Werror
check "-Werror: exit 1" test $? -eq 1
check "-Werror: shown as errors" grep -q "^o.src:4:8: error: 70000 does not fit in 16 bits; the module gets 4464 \[-Werror=overflow\]$" "$work/err"
check "-Wall: unused globals too" grep -q "^o.src:1:5: error: global 'g' is never used \[-Werror=unused-global\]$" "$work/err"
for f in o.bin o.err o.aux o.stx o.sym o.map; do
  check "-Wall -Werror: $f as without warnings" cmp -s "$work/p/$f" "$work/plain/$f"
done

run -Wno-overflow
check "-Wno-overflow: that one off" test "$(grep -c warning "$work/err")" = 1
run -Wall -Wno-unused
check "-Wno-unused: the group off after -Wall" test "$(grep -c warning "$work/err")" = 1
run -Wunused-global -Wno-unused-local -Wno-overflow
check "-Wunused-global alone" test "$(grep warning "$work/err")" = "o.src:1:5: warning: global 'g' is never used [-Wunused-global]"
run -Wall -w -Werror
check "-w: no warning, and nothing for -Werror to fail" test $? -eq 0
check "-w: standard error empty" test ! -s "$work/err"

run -Wbogus
check "unknown warning: exit 2" test $? -eq 2
check "unknown warning: named" grep -q "unknown warning option '-Wbogus'" "$work/err"

run --format=json -Werror
check "json: exit 1 under -Werror" test $? -eq 1
check "json: names and statuses" test "$(python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
print(d["status"], [(m["kind"], m["name"], m["line"], m["column"]) for m in d["diagnostics"]])
' "$work/out")" = "1 [('error', 'overflow', 4, 8), ('error', 'unused-local', 3, 10)]"

# No main: a note, which -Werror does not fail.
printf 'func f()\nendfunc\n' >"$work/p/o.src"
run -Werror
check "library note: exit 0 under -Werror" test $? -eq 0
check "library note" test "$(cat "$work/err")" = "o.src: note: no main: the image is a library [-Wlibrary]"

# --help lists every warning with an example.
"$tavoc" --help >"$work/help"
for name in overflow void-value missing-return library main unused-local unused-argument \
            unused-global unused-value shadow unreachable; do
  check "--help lists -W$name" grep -q "^  -W$name " "$work/help"
done
check "--help gives examples" test "$(grep -c '  e\.g\. ' "$work/help")" = 11

finish tavoc_warnings
