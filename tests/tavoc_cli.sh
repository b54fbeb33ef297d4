#!/usr/bin/env bash
# tavoc as a program: options, exit status, and the files a run leaves.
source "$(dirname "$0")/testlib.sh"

"$tavoc" --help >"$work/help" 2>&1;          check "--help exits 0" test $? -eq 0
check "--help shows usage" grep -q "Usage: tavoc" "$work/help"
"$tavoc" --version >"$work/version" 2>&1;    check "--version exits 0" test $? -eq 0
check "--version names tavoc" grep -q "^tavoc " "$work/version"
"$tavoc" --bogus >/dev/null 2>&1;            check "unknown option exits 2" test $? -eq 2
"$tavoc" "$work/missing" >/dev/null 2>&1;    check "missing directory exits 2" test $? -eq 2
touch "$work/plainfile"
"$tavoc" "$work/plainfile" >/dev/null 2>&1;  check "a file as directory exits 2" test $? -eq 2

# No source: o.err holds the message alone, nothing else is created.
mkdir "$work/nosrc"
"$tavoc" "$work/nosrc" >/dev/null 2>"$work/nosrc.stderr"
check "no o.src exits 1" test $? -eq 1
check "no o.src: o.err holds the message, no line end" \
  cmp -s <(printf "Can't open source file o.src") "$work/nosrc/o.err"
check "no o.src: only o.err is created" test "$(ls "$work/nosrc")" = "o.err"
check "o.err is copied to standard error" grep -q "Can't open source file o.src" "$work/nosrc.stderr"

# A source that is a directory counts as missing.
mkdir -p "$work/dirsrc/o.src"
"$tavoc" "$work/dirsrc" >/dev/null 2>&1
check "o.src as a directory: can't open" test "$(cat "$work/dirsrc/o.err")" = "Can't open source file o.src"

# Without dev.tvo, earlier listing and HEX files stay untouched.
mkdir "$work/nodev"
: >"$work/nodev/o.src"
echo "old listing" >"$work/nodev/o.lst"
echo "old hex" >"$work/nodev/o.hex"
(cd "$work/nodev" && "$tavoc" >/dev/null 2>&1)
check "default directory is the current one" test -e "$work/nodev/o.bin"
check "no dev.tvo: o.lst untouched" test "$(cat "$work/nodev/o.lst")" = "old listing"
check "no dev.tvo: o.hex untouched" test "$(cat "$work/nodev/o.hex")" = "old hex"
for f in o.err o.aux o.sym o.map o.bin; do
  check "no dev.tvo: $f created" test -e "$work/nodev/$f"
done

# Columns on the first line of the source are one higher than on later
# lines, in both passes: the scan of bogus begins after the '#', that of x
# at the start.
mkdir "$work/line1"
printf '#bogus\n' >"$work/line1/o.src"
"$tavoc" "$work/line1" >/dev/null 2>&1
check "first line, pass 1" test "$(cat "$work/line1/o.err")" = "unrecognized # directive in line 1, column 2 (pass1)"
printf 'x := 1;\n' >"$work/line1/o.src"
"$tavoc" "$work/line1" >/dev/null 2>&1
check "first line, pass 2" test "$(head -n 1 "$work/line1/o.err")" = "unknown command in line 1, column 1 (pass2)"

# Outputs are emptied when they are opened: a second, smaller compilation
# in the same directory leaves exactly its own files, no tail of the first.
mkdir "$work/again"
printf 'func f()\nendfunc\nfunc main()\n  f();\nendfunc\n' >"$work/again/o.src"
: >"$work/again/dev.tvo"
"$tavoc" "$work/again" >/dev/null 2>&1
printf '#bogus\n' >"$work/again/o.src"
"$tavoc" "$work/again" >/dev/null 2>&1
check "again: o.err is the second run's" test "$(cat "$work/again/o.err")" = "unrecognized # directive in line 1, column 2 (pass1)"
check "again: o.aux is the second run's" \
  cmp -s <(printf '\n========= First Pass =========\n') "$work/again/o.aux"
for f in o.bin o.lst o.hex o.sym o.map; do
  check "again: $f is empty" test ! -s "$work/again/$f"
done

# dev.tvo as a directory counts as absent.
mkdir -p "$work/devdir/dev.tvo"
: >"$work/devdir/o.src"
"$tavoc" "$work/devdir" >/dev/null 2>&1
check "dev.tvo as a directory: no o.hex" test ! -e "$work/devdir/o.hex"

finish tavoc_cli
