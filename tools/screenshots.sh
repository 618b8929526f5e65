#!/usr/bin/env bash
# Regenerates the pictures of the documentation: the main window on the demo library with the
# demo song open, drawn off the screen (docs/main-window.png), the music view (also with its
# resolved-pitch lanes) and the chord-map view for the README, and the editor views for the
# manual (data/manual/*.png).
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
shot() {
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    "$build/korvante" gui --home "$home" --open "$1" --screenshot "$2" --size "$3" "${@:4}"
}
# The music view at the first verse, where the melody and the piano's chords play.
shot "はじまりの朝" "$here/docs/music-view.png" 1400x860 --bar 5
shot "ハ長調" "$here/docs/chord-map-view.png" 1400x860
# The same verse with every resolved-pitch lane shown: the keys the chords make.
shot "はじまりの朝" "$here/docs/music-view-lanes.png" 1400x860 --bar 5 --lanes
shot "はじまりの朝" "$here/data/manual/music-view.png" 1280x800 --bar 5
shot "はじまりの朝" "$here/data/manual/music-view-lanes.png" 1280x800 --bar 5 --lanes
shot "ハ長調" "$here/data/manual/chord-map-view.png" 1280x800
shot "バンド" "$here/data/manual/stage-map-view.png" 1280x800
