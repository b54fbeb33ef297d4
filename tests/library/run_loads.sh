#!/usr/bin/env bash
# run_loads.sh TAVOC GOLDEN_DIR HOST...
#
# Compiles every golden case below GOLDEN_DIR (each directory that holds an
# expected/ folder) by loading the compiler library, as an editor does, and
# checks that the load leaves exactly what tavoc leaves for the same inputs.
# HOST is the command that loads the library once; the directory to compile
# in is appended to it. Each case is loaded twice in a row in the same
# directory, by two processes: each load must give the whole compilation
# again. A directory without o.src is one more case. The cases are shared
# out among TAVO_LOAD_JOBS (default 2) workers.
set -u
tavoc=$1
golden=$2
shift 2
host=("$@")
jobs=${TAVO_LOAD_JOBS:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

copy_inputs() {  # copy_inputs CASE_DIR DEST: everything but expected/
  mkdir -p "$2"
  [ -n "$1" ] || return 0
  local f
  for f in "$1"/* "$1"/.[!.]*; do
    [ -e "$f" ] || continue
    [ "${f##*/}" = expected ] && continue
    cp -R "$f" "$2/"
  done
}

check_case() {  # check_case NAME CASE_DIR SCRATCH
  local name=$1 dir=$3 load
  rm -rf "$dir"
  copy_inputs "$2" "$dir/tavoc"
  copy_inputs "$2" "$dir/lib"
  (cd "$dir/tavoc" && "$tavoc" . >/dev/null 2>&1)
  for load in first second; do
    # The load itself never fails because of the compilation. With
    # TAVO_LOAD_RETRY set, a load that failed without a word is tried once
    # more: Wine now and then fails to start a program that way.
    if ! "${host[@]}" "$dir/lib" >"$dir/host.out" 2>&1 &&
       ! { [ -n "${TAVO_LOAD_RETRY:-}" ] && [ ! -s "$dir/host.out" ] &&
           "${host[@]}" "$dir/lib" >"$dir/host.out" 2>&1; }; then
      echo "FAIL: $name: $load load failed:"
      cat "$dir/host.out"
      return 1
    fi
    if ! diff -r "$dir/tavoc" "$dir/lib" >"$dir/diff" 2>&1; then
      echo "FAIL: $name: after the $load load the directory differs from tavoc's (< tavoc, > library)"
      head -60 "$dir/diff"
      return 1
    fi
  done
}

# The case list: "" stands for the directory without inputs.
cases=("")
while IFS= read -r marker; do
  cases+=("${marker%/expected}")
done < <(find "$golden" -type d -name expected | LC_ALL=C sort)
if [ ${#cases[@]} -lt 2 ]; then
  echo "FAIL: no golden case found below $golden"
  exit 1
fi

worker() {  # worker K: every JOBS-th case from the K-th; prints its failure count last
  local k=$1 i failed=0
  for ((i = k; i < ${#cases[@]}; i += jobs)); do
    local c=${cases[i]} name=${cases[i]#"$golden"/}
    [ -n "$c" ] || name="(no o.src)"
    check_case "$name" "$c" "$work/w$k" || failed=$((failed + 1))
  done
  echo "$failed" >"$work/failed$k"
}

for ((k = 0; k < jobs; k++)); do
  worker "$k" >"$work/log$k" 2>&1 &
done
wait
failed=0
for ((k = 0; k < jobs; k++)); do
  cat "$work/log$k"
  failed=$((failed + $(cat "$work/failed$k" 2>/dev/null || echo 1)))
done
if [ "$failed" -ne 0 ]; then
  echo "library loads: $failed of ${#cases[@]} cases differ from tavoc"
  exit 1
fi
echo "library loads: all ${#cases[@]} cases give tavoc's files, twice each"
