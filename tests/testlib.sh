# testlib.sh: what the shell tests of tavoc share. A test sources it with
# its own arguments: tavoc is $1, top the source tree, work a scratch
# directory removed at exit; say and check note a failure, and finish NAME
# reports and exits with the result.
set -u
tavoc=$1
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
say() { echo "FAIL: $*"; fail=1; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if ! "$@"; then say "$what"; fi
}
finish() {  # finish NAME
  [ $fail -eq 0 ] && echo "ok: $1"
  exit $fail
}
