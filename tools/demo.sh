#!/usr/bin/env bash
# Builds the program and runs its main job on the built-in demo library: the demo song is
# exported to out/demo.mid, rendered to out/demo.wav when the synthesizer is available, and
# summarised (bars, notes, length in seconds).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvante
"$build/korvante" demo --out "$here/out"
