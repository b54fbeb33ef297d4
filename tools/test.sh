#!/usr/bin/env bash
# Builds the compiler twice, with warnings as errors and then with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test in
# both builds; then runs the fuzz target briefly in a third, clang build.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

run() {  # run BUILD_DIR CMAKE_OPTIONS...
  local dir=$1; shift
  cmake -S . -B "$dir" -DTAVO_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run build
run build-asan -DTAVO_SANITIZE=ON -DTAVO_WINDOWS=OFF   # the Windows files are tested once, above

# The fuzz target, built with clang for libFuzzer: a short fixed run from the
# seeds (fuzz/run.sh; docs/contributing.md tells how to run it for longer).
cmake -S . -B build-fuzzer -DCMAKE_CXX_COMPILER=clang++ -DTAVO_FUZZ=ON -DTAVO_TESTS=OFF
cmake --build build-fuzzer -j "$jobs" --target tavo_fuzz tavo_api_fuzz tavorun_fuzz
ctest --test-dir build-fuzzer --output-on-failure
