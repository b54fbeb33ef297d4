#!/usr/bin/env bash
# A compilation whose files cannot all be written or read is never taken
# for a success: tavoc names the file and the reason and exits with 3, the
# file that was cut short is gone, and o.err says which file failed.
source "$(dirname "$0")/testlib.sh"
cd "$work" || exit 1

# A program that fills every table and the image: its log, listing and HEX
# file run to hundreds of kilobytes, so a size limit cuts it in the first
# pass, the second pass or the writing of any one output.
python3 "$top/bench/gen.py" limits ref >/dev/null && : >ref/dev.tvo
"$tavoc" ref >/dev/null 2>&1 || say "the reference compilation"
outputs="o.err o.lst o.hex o.sym o.aux o.map o.bin o.stx"

# Every output a link to /dev/full in turn; for o.err, a program with an
# error, so that something is written to it.
mkdir bad && cp ref/o.src bad/ && printf 'func main()\n  y := 1;\nendfunc\n' >>bad/o.src
for f in $outputs; do
  rm -rf full && mkdir full && cp ref/dev.tvo full/ && ln -s /dev/full "full/$f"
  if [ "$f" = o.err ]; then cp bad/o.src full/; else cp ref/o.src full/; fi
  (cd full && "$tavoc" -w >/dev/null 2>../stderr)
  rc=$?
  if [ "$f" = o.sym ] || [ "$f" = o.map ]; then   # nothing is written to them
    [ $rc -eq 0 ] || say "$f on /dev/full: status $rc for an empty file"
    continue
  fi
  [ $rc -eq 3 ] || say "$f on /dev/full: status $rc"
  [ "$f" = o.err ] || [ ! -e full/o.bin ] || cmp -s full/o.bin ref/o.bin || say "$f on /dev/full: o.bin differs"
  grep -qx "tavoc: cannot write $f: No space left on device" stderr || say "$f on /dev/full: $(cat stderr)"
  [ ! -e "full/$f" ] && [ ! -L "full/$f" ] || say "$f on /dev/full is still there"
  if [ "$f" != o.err ]; then
    grep -qx "Can't write $f" full/o.err || say "$f on /dev/full: o.err has no line for it"
  fi
done

# A file-size limit (SIGXFSZ ignored) at several points, which also limits
# the standard error kept in a file (hence -w): whatever file it
# cuts is reported and removed, and every file that remains is whole.
for kb in 1 4 16 64 256; do
  rm -rf cut && mkdir cut && cp ref/o.src ref/dev.tvo cut/
  (cd cut && trap "" XFSZ && ulimit -f "$kb" && exec "$tavoc" -w >/dev/null 2>../stderr)
  rc=$?
  [ $rc -eq 3 ] || say "limit ${kb}K: status $rc"
  for f in $outputs; do
    if [ -e "cut/$f" ]; then
      [ "$f" = o.err ] && continue
      cmp -s "cut/$f" "ref/$f" || say "limit ${kb}K: $f is there but not whole"
    else
      grep -qx "tavoc: cannot write $f: File too large" stderr || say "limit ${kb}K: $f gone unreported"
      [ ! -e cut/o.err ] || grep -qx "Can't write $f" cut/o.err || say "limit ${kb}K: no line for $f"
    fi
  done
done

# A read error on the source, on a function file, on o.fun.
read_fails() {  # read_fails FILE
  rm -rf rd && mkdir -p rd/Include && printf 'func main()\nendfunc\n' >rd/o.src && : >rd/dev.tvo
  echo f.txt >rd/o.fun && echo 'func f(), 0;' >rd/Include/f.txt
  rm -f "rd/$1" && ln -s /proc/self/mem "rd/$1"
  (cd rd && "$tavoc" >/dev/null 2>../stderr)
  [ $? -eq 3 ] || say "read of $1: status"
  grep -qx "tavoc: cannot read $1: Input/output error" stderr || say "read of $1: $(cat stderr)"
  grep -qx "Can't read $1" rd/o.err || say "read of $1: o.err"
  [ ! -e rd/o.bin ] && [ ! -e rd/o.hex ] || say "read of $1: an image is left"
}
if head -c 1 /proc/self/mem >/dev/null 2>&1; then
  echo "skipped: /proc/self/mem reads here, so it cannot stand for a failing read"
else
  read_fails o.src
  read_fails Include/f.txt
  read_fails o.fun
fi

finish file_failures
