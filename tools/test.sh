#!/usr/bin/env bash
# Builds the test build (AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
build="$here/build-test"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DKV_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
