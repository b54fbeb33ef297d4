#!/usr/bin/env bash
# tavoc's diagnostics as a person reads them: the GNU line, the source line
# and the caret, the notes on what followed from an error and on the files
# left behind, warnings, colour, and the original lines of o.err. Every
# expectation is written out in full.
source "$(dirname "$0")/testlib.sh"
golden=$(cd "$(dirname "$0")/golden" && pwd)
cd "$work" || exit 1

# expect NAME STATUS DIR [OPTIONS...] <<< EXPECTED_STDERR
expect() {
  local name=$1 status=$2 dir=$3; shift 3
  local want got rc
  want=$(cat)
  got=$("$tavoc" --color=never "$@" "$dir" 2>&1 >/dev/null)
  rc=$?
  if [ "$got" != "$want" ] || [ "$rc" != "$status" ]; then
    echo "FAIL: $name (status $rc, expected $status)"
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") | sed 's/^/  /'
    fail=1
  fi
}
# case NAME GOLDEN_CASE: a copy of a golden case's inputs in NAME/
case_from() {
  mkdir "$1"
  for f in "$golden/$2"/*; do [ "$(basename "$f")" = expected ] || cp -R "$f" "$1/"; done
}

# An error of the first pass, on the first line.
mkdir p1 && printf '#bogus\n' >p1/o.src
expect "first pass" 1 p1 <<'END'
p1/o.src:1:2: error: unrecognized # directive
    1 | #bogus
      |  ^
END

# An error of the second pass, a report that followed from it, and the
# image that holds only what came before.
case_from p2 programs/p2_undefined
expect "second pass" 1 p2 <<'END'
p2/o.src:6:5: error: undefined variable or function
    6 |     y := 2;
      |     ^
p2/o.src:6:5: note: missing LVAL (follows from the error above)
    6 |     y := 2;
      |     ^
p2/o.bin: note: holds only the code compiled before the error
END

# The same program with CR LF line ends: no CR in the line shown.
mkdir crlf && sed 's/$/\r/' p2/o.src >crlf/o.src
expect "CR LF" 1 crlf <<'END'
crlf/o.src:6:5: error: undefined variable or function
    6 |     y := 2;
      |     ^
crlf/o.src:6:5: note: missing LVAL (follows from the error above)
    6 |     y := 2;
      |     ^
crlf/o.bin: note: holds only the code compiled before the error
END

# A tab before the column stays a tab under it.
mkdir tab && printf 'var x;\n\nfunc main()\n    x := 1;\n\ty := 2;\nendfunc\n' >tab/o.src
expect "tab" 1 tab <<END
tab/o.src:5:2: error: undefined variable or function
    5 | $(printf '\t')y := 2;
      | $(printf '\t')^
tab/o.src:5:2: note: missing LVAL (follows from the error above)
    5 | $(printf '\t')y := 2;
      | $(printf '\t')^
tab/o.bin: note: holds only the code compiled before the error
END

# Inside a function file: its path, the meaning of a token number, the
# cascade, and a report on the line after the last, which shows no line.
case_from inc platform/argument_string
expect "function file" 1 inc <<'END'
inc/Include/f.txt:1:8: error: Expected token 8194
    1 | func f(x), 0;
      |        ^
inc/Include/f.txt: note: token 8194 is a quoted string
inc/Include/f.txt:1:11: note: Expected a ')' (follows from the error above)
    1 | func f(x), 0;
      |           ^
inc/Include/f.txt:1:13: note: Expected a ',' (follows from the error above)
    1 | func f(x), 0;
      |             ^
inc/Include/f.txt:1:13: note: expected function return count 0 or 1 (follows from the error above)
    1 | func f(x), 0;
      |             ^
inc/Include/f.txt:2: note: Expected a ';' (follows from the error above)
END

# An error with a line and no column.
mkdir label && tail -n +2 "$(dirname "$golden")/errors/c_label_not_found.src" >label/o.src
expect "no column" 1 label <<'END'
label/o.src:2: error: Label 'nowhere:' not found
    2 |   goto nowhere;
label/o.bin: note: holds only the code compiled before the error
END

# The control name behind "[__]".
mkdir control && printf 'func main()\n  print([Q] 1);\nendfunc\n' >control/o.src
expect "print control" 1 control <<'END'
control/o.src:2:10: error: print format control not defined [__]
    2 |   print([Q] 1);
      |          ^
control/o.src: note: [__] stands for 'Q', which no #constant defines
control/o.bin: note: holds only the code compiled before the error
END

# Lines that count no error are warnings; unresolved names have no position.
case_from warn programs/diagnostics
expect "warnings" 0 warn <<'END'
warn/o.src:2:19: warning: Warning, constant is truncated to 8 bit, value was 300
    2 | #DATA byte T 1, 300, 2
      |                   ^
warn/o.src:7:23: warning: Warning, constant is truncated to 8 bit, value was 256
    7 |     x := lookup8(x, 256, 7);
      |                       ^
warn/o.src: warning: could not resolve nothing
warn/o.src: warning: could not resolve nowhere
warn/o.src: note: no main: the image is a library [-Wlibrary]
END

# A full image, which the compiler reports only by stopping.
mkdir full
for i in $(seq 1 50); do printf '#DATA byte T%d "%0250d"\n' "$i" 0; done >full/o.src
expect "full image" 1 full <<'END'
full/o.src: error: code image full (12288 bytes)
END

# No source: the directory is named.
mkdir nosrc
expect "no source" 1 nosrc <<'END'
nosrc/o.src: error: Can't open source file o.src
nosrc/o.src: note: there is no readable o.src in the directory 'nosrc'
END

# Listings of an earlier compilation, left because there is no dev.tvo.
mkdir stale && printf 'func main()\nendfunc\n' >stale/o.src && echo old >stale/o.lst && echo old >stale/o.hex
expect "stale listings" 0 stale <<'END'
stale/o.lst: note: belongs to an earlier compilation: without dev.tvo none is written
stale/o.hex: note: belongs to an earlier compilation: without dev.tvo none is written
END

# --diagnostics=original: o.err exactly.
for d in p2 inc warn nosrc; do
  "$tavoc" --diagnostics=original "$d" 2>"$d.original" >/dev/null
  cmp -s "$d.original" "$d/o.err" || { echo "FAIL: --diagnostics=original in $d is not o.err"; fail=1; }
done

# Colour only when asked for or on a terminal without NO_COLOR.
esc=$(printf '\033')
"$tavoc" --color=always p1 2>colour.out
grep -q "${esc}\[1;31merror:" colour.out || { echo "FAIL: --color=always has no red error"; fail=1; }
grep -q "${esc}\[1;32m^" colour.out || { echo "FAIL: --color=always has no green caret"; fail=1; }
"$tavoc" p1 2>auto.out                  # standard error is a file here
! grep -q "$esc" auto.out || { echo "FAIL: colour in a file"; fail=1; }
if command -v script >/dev/null; then   # a terminal, with and without NO_COLOR
  script -qec "$tavoc p1" /dev/null >tty.out 2>&1
  grep -q "$esc" tty.out || { echo "FAIL: no colour on a terminal"; fail=1; }
  NO_COLOR=1 script -qec "$tavoc p1" /dev/null >tty.out 2>&1
  ! grep -q "$esc" tty.out || { echo "FAIL: colour despite NO_COLOR"; fail=1; }
fi

finish tavoc_messages
