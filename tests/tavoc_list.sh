#!/usr/bin/env bash
# tavoc --list FILE: the listing of any image file on standard output.
# A few images listed in full, the usage errors, then many random images
# (fixed seed) that must all list without a crash and in the listing's
# line format.
set -u
tavoc=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if ! "$@"; then echo "FAIL: $what"; fail=1; fi
}
same() {  # same DESCRIPTION EXPECTED_FILE ACTUAL_FILE
  if ! cmp -s "$2" "$3"; then
    echo "FAIL: $1"; diff -u "$2" "$3" | cat -A | head -40; fail=1
  fi
}

# A program: header, a string with a tab, the nibble form of CALL, an
# allocation, a platform function, a return.
printf '\x68\x07\x00\x24\x00\x44\x00\x34\x04A\tB\x00\x21\x44\x05\x68\xff\xff\x0a' >"$work/prog.bin"
"$tavoc" --list "$work/prog.bin" >"$work/prog.out" 2>"$work/prog.err"
check "program image exits 0" test $? -eq 0
check "nothing on standard error" test ! -s "$work/prog.err"
cat >"$work/prog.want" <<'EOF'
Tavo Compiler V0.1
P-code Listing
codesize = 20

0    : 680700   PUSH FUNCTION ADDRESS 7
3    : 2400     CALL [0]
5    : 4400     EXIT

7    : 3404     PUSH STRING 4 "A.B"
13   : 21       CALL [1]
14   : 4405     ALLOCATE STACK SPACE 5
16   : 68FFFF   PUSH FUNCTION TOKEN -1
19   : 0A       RETURN

EOF
same "program image listing" "$work/prog.want" "$work/prog.out"

# Without the whole header it is a library: no empty line before 7.
printf '\x68\x07\x00\x24\x00\x44\x01\x0c' >"$work/lib.bin"
"$tavoc" --list "$work/lib.bin" >"$work/lib.out"
cat >"$work/lib.want" <<'EOF'
Tavo Compiler V0.1
P-code Listing
codesize = 8

0    : 680700   PUSH FUNCTION ADDRESS 7
3    : 2400     CALL [0]
5    : 4401     ALLOCATE STACK SPACE 1
7    : 0C       ADD
EOF
same "library image listing" "$work/lib.want" "$work/lib.out"

# Cut short by the end of the file: missing bytes count as zero.
printf '\x0c\x34\x04AB' >"$work/short.bin"
"$tavoc" --list "$work/short.bin" >"$work/short.out"
check "cut-short image exits 0" test $? -eq 0
printf 'Tavo Compiler V0.1\nP-code Listing\ncodesize = 5\n\n0    : 0C       ADD\n1    : 3404     PUSH STRING 4 "AB."\n' >"$work/short.want"
same "cut-short image listing" "$work/short.want" "$work/short.out"

: >"$work/empty.bin"
"$tavoc" --list "$work/empty.bin" >"$work/empty.out"
check "empty image exits 0" test $? -eq 0
printf 'Tavo Compiler V0.1\nP-code Listing\ncodesize = 0\n\n' >"$work/empty.want"
same "empty image listing" "$work/empty.want" "$work/empty.out"

# Usage problems.
"$tavoc" --list >/dev/null 2>&1;                        check "--list without FILE exits 2" test $? -eq 2
"$tavoc" --list "$work/missing" >/dev/null 2>&1;        check "missing file exits 2" test $? -eq 2
"$tavoc" --list "$work" >/dev/null 2>&1;                check "directory exits 2" test $? -eq 2
"$tavoc" --list "$work/empty.bin" extra >/dev/null 2>&1; check "extra argument exits 2" test $? -eq 2
"$tavoc" "$work" --list "$work/empty.bin" >/dev/null 2>&1; check "directory and --list exits 2" test $? -eq 2
head -c 12289 /dev/zero >"$work/big.bin"
"$tavoc" --list "$work/big.bin" >"$work/big.out" 2>"$work/big.err"
check "image over 12288 bytes exits 2" test $? -eq 2
check "too large: says why" grep -q "larger than the 12288-byte code image" "$work/big.err"
check "too large: no listing" test ! -s "$work/big.out"
head -c 12288 /dev/zero >"$work/full.bin"
"$tavoc" --list "$work/full.bin" >"$work/full.out"
check "12288 bytes are listed" test $? -eq 0
check "12288 zero bytes give 12288 lines" test "$(tail -n +5 "$work/full.out" | wc -l)" -eq 12288
check "the last line is address 12287" test "$(tail -n 1 "$work/full.out")" = "12287: 00       ENDSUB"

# Random images: lengths 0 to 12288, random bytes; every fifth one starts
# with the program header. Each must list with status 0, nothing on standard
# error, its heading, and every later line empty or an instruction or data
# line whose address lies inside the image.
perl -e '
  my $seed = 20240611;
  sub rnd { $seed = ($seed * 1103515245 + 12345) % 2147483648; return $seed >> 8; }
  for my $i (0 .. 39) {
    my $len = $i < 4 ? (0, 1, 12287, 12288)[$i] : rnd() % 12289;
    my $bytes = join "", map { chr(rnd() % 256) } 1 .. $len;
    substr($bytes, 0, 7) = "\x68\x10\x00\x24\x00\x44\x00" if $i % 5 == 4 && $len >= 7;
    open my $fh, ">:raw", sprintf("%s/r%03d.bin", $ARGV[0], $i) or die;
    print $fh $bytes;
    close $fh;
  }' "$work"
bad=0
for img in "$work"/r*.bin; do
  size=$(wc -c <"$img")
  "$tavoc" --list "$img" >"$work/r.out" 2>"$work/r.err"
  status=$?
  if [ $status -ne 0 ] || [ -s "$work/r.err" ]; then
    echo "FAIL: $(basename "$img") ($size bytes): status $status"; cat "$work/r.err"; bad=1; continue
  fi
  if [ "$(head -n 4 "$work/r.out")" != "$(printf 'Tavo Compiler V0.1\nP-code Listing\ncodesize = %d\n' "$size")" ]; then
    echo "FAIL: $(basename "$img"): heading"; bad=1; continue
  fi
  if ! tail -n +5 "$work/r.out" | LC_ALL=C awk -v size="$size" '
      /^$/ { next }
      /^[0-9]+ *: [0-9A-F]+ +[^ ]/ {
        if (length($0) < 17 || substr($0, 6, 2) != ": " || $1 + 0 >= size) exit 1
        next
      }
      { exit 1 }'; then
    echo "FAIL: $(basename "$img"): a line out of format"; bad=1
  fi
done
[ $bad -eq 0 ] || fail=1

[ $fail -eq 0 ] && echo "ok: tavoc_list"
exit $fail
