#!/usr/bin/env bash
# Builds the program and opens the desktop application on the built-in demo library. On a
# machine without a display it says so and runs the headless main job instead: the demo song is
# exported to out/demo.mid, rendered to out/demo.wav when the synthesizer is available, and
# summarised (bars, notes, length in seconds).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/setup.sh"
build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvante korvante-gui
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  exec "$build/korvante" gui "$build/mymusic/library.kvnr"
fi
echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): the window cannot open."
echo "Running the headless demo instead (export and render of the demo song)."
"$build/korvante" demo --out "$here/out"
