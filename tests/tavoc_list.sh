#!/usr/bin/env bash
# tavoc --list FILE: the listing of any image file on standard output.
# A few images listed in full, the usage errors, then many random images
# (fixed seed) that must all list without a crash.
source "$(dirname "$0")/testlib.sh"
same() {  # same DESCRIPTION EXPECTED_FILE ACTUAL_FILE
  if ! cmp -s "$2" "$3"; then
    echo "FAIL: $1"; diff -u "$2" "$3" | cat -A | head -40; fail=1
  fi
}

# listed NAME BYTES LINE...: the image of BYTES (printf escapes) lists with
# status 0, nothing on standard error, the heading and then the LINEs.
listed() {
  local img=$work/$1.bin; shift
  printf "$1" >"$img"; shift
  "$tavoc" --list "$img" >"$img.out" 2>"$img.err"
  check "$(basename "$img") exits 0" test $? -eq 0
  check "$(basename "$img"): nothing on standard error" test ! -s "$img.err"
  { printf 'Tavo Compiler V0.1\nP-code Listing\ncodesize = %d\n\n' "$(wc -c <"$img")"
    [ $# -eq 0 ] || printf '%s\n' "$@"; } >"$img.want"
  same "$(basename "$img") listing" "$img.want" "$img.out"
}

# The whole start-up header makes a program, with an empty line before 7;
# one byte off, it is a library.
listed prog '\x68\x07\x00\x24\x00\x44\x00\x0a' '0    : 680700   PUSH FUNCTION ADDRESS 7' \
  '3    : 2400     CALL [0]' '5    : 4400     EXIT' '' '7    : 0A       RETURN' ''
listed lib '\x68\x07\x00\x24\x00\x44\x01\x0c' '0    : 680700   PUSH FUNCTION ADDRESS 7' \
  '3    : 2400     CALL [0]' '5    : 4401     ALLOCATE STACK SPACE 1' '7    : 0C       ADD'
# Cut short by the end of the file: missing bytes count as zero.
listed short '\x0c\x34\x04AB' '0    : 0C       ADD' '1    : 3404     PUSH STRING 4 "AB."'
listed empty ''

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
# with the program header. Each must list with status 0 and nothing on
# standard error (the sanitizer build checks every read).
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
for img in "$work"/r*.bin; do
  "$tavoc" --list "$img" >/dev/null 2>"$work/r.err"
  status=$?
  check "$(basename "$img") ($(wc -c <"$img") bytes) lists cleanly" test $status -eq 0 -a ! -s "$work/r.err"
done

finish tavoc_list
