#!/usr/bin/env bash
# Regenerates the pictures of the documentation: the main window on the demo library with the
# demo song open, drawn off the screen (docs/main-window.png).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvante korvante-gui
# A fresh copy of the application folder, so that no stored window placement or recent list
# of this machine changes the picture.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp -r "$here/data/." "$home/"
mkdir -p "$here/docs"
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
  "$build/korvante" gui --home "$home" --open "はじまりの朝" \
  --screenshot "$here/docs/main-window.png" --size 1100x680
