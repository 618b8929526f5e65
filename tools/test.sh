#!/usr/bin/env bash
# The test command. Builds and checks everything, warnings counting as errors:
#   1. the test build (AddressSanitizer and UndefinedBehaviorSanitizer) and every test, the
#      source format and layering checks, the check that every header compiles on its own and
#      the tests of those checks included;
#   2. the ThreadSanitizer build and the tests of the threaded code (player, real-time runs,
#      devices, platform services, the application playing while it works on the library);
#   3. the benchmarks, in a Release build (built only, so that they keep compiling);
#   4. the fuzz targets with clang, when clang++ is installed (built only).
# Each build has its own folder. Ninja and ccache are used when present (tools/setup.sh
# installs them); the script works without them too. Every build compiles as unity sources
# (several files per compiler run), which takes a fraction of the time on two cores; that each
# header stands on its own is checked by the header check of step 1 instead. CTest runs one
# process per test suite; `ctest -LE slow` leaves out the slow suites while working.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
jobs=$(nproc)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# configure FOLDER CMAKE-ARGS...: a build folder keeps the generator it was first made with.
configure() {
    local dir=$1
    shift
    local generator=()
    if [[ ! -f $dir/CMakeCache.txt ]] && command -v ninja >/dev/null; then
        generator=(-G Ninja)
    fi
    cmake -S "$here" -B "$dir" "${generator[@]}" "${launcher[@]}" "$@" >/dev/null
}

step() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }

step "test build: AddressSanitizer and UndefinedBehaviorSanitizer"
configure "$here/build-test" -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DKV_TESTS=ON -DKV_WERROR=ON \
    -DCMAKE_UNITY_BUILD=ON
cmake --build "$here/build-test" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$here/build-test" --output-on-failure -j"$jobs"

step "ThreadSanitizer build: player, platform and application tests"
configure "$here/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DKV_TSAN=ON -DKV_TESTS=ON -DKV_WERROR=ON \
    -DKV_GUI=OFF -DCMAKE_UNITY_BUILD=ON
cmake --build "$here/build-tsan" -j"$jobs" --target korvante_tests
# The tests carry their TSAN_OPTIONS (with tests/tsan.supp) from tests/CMakeLists.txt.
ctest --test-dir "$here/build-tsan" --output-on-failure -j"$jobs"

step "benchmarks: Release build"
configure "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF -DKV_BENCH=ON -DKV_WERROR=ON \
    -DCMAKE_UNITY_BUILD=ON
cmake --build "$here/build-bench" -j"$jobs" --target korvante_benches

step "fuzz targets"
if command -v clang++ >/dev/null; then
    CXX=clang++ configure "$here/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DKV_TESTS=OFF -DKV_FUZZ=ON \
        -DKV_WERROR=ON -DKV_GUI=OFF -DCMAKE_UNITY_BUILD=ON
    cmake --build "$here/build-fuzz" -j"$jobs" --target korvante_fuzzers
else
    echo "skipped: clang++ is not installed, so the libFuzzer targets cannot be built"
fi

step "all passed"
