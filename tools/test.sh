#!/usr/bin/env bash
# Builds the compiler twice, with warnings as errors and then with
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test in
# both builds.
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
run build-asan -DTAVO_SANITIZE=ON
