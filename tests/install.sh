#!/usr/bin/env bash
# Installs the build into a scratch prefix and compiles the bundled example
# with the installed tavoc; the manual page and the library are there too.
set -u
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail=0
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
for f in bin/tavoc bin/tavohost bin/tavo-lsp share/man/man1/tavoc.1; do
  [ -e "$prefix/$f" ] || { echo "FAIL: $f not installed"; fail=1; }
done
ls "$prefix"/lib*/libtavo.so >/dev/null 2>&1 || { echo "FAIL: libtavo.so not installed"; fail=1; }
example=$(find "$prefix/share/doc" -path '*examples/hello' -type d | head -n 1)
[ -n "$example" ] || { echo "FAIL: the example is not installed"; exit 1; }
cp -R "$example" "$prefix/hello"
"$prefix/bin/tavoc" "$prefix/hello" || { echo "FAIL: the installed tavoc does not compile the example"; fail=1; }
[ -s "$prefix/hello/o.bin" ] && [ ! -s "$prefix/hello/o.err" ] || { echo "FAIL: the example's outputs"; fail=1; }
[ $fail -eq 0 ] && echo "ok: install"
exit $fail
