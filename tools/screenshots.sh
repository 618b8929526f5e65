#!/usr/bin/env bash
# Regenerates the pictures of the documentation, drawn off the screen on the demo library with
# the demo song open: the main window and the music view alone at 1280x800 and 1920x1080
# (docs/main-window-W.png, docs/music-view-W.png), the music view with its resolved-pitch lanes
# and the chord-map view for the README, and the editor views and step recording for the manual
# (data/manual/*.png). Builds a Release build in build/ first.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF >/dev/null
# Two jobs at most: the machine is shared.
cmake --build "$build" -j2 --target korvante korvante-gui
# A fresh copy of the application folder, so that no stored window placement, tree width or
# recent list of this machine changes the picture.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp -r "$here/data/." "$home/"
mkdir -p "$here/docs"
shot() {
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    "$build/korvante" gui --home "$home" --open "$1" --screenshot "$2" --size "$3" "${@:4}"
}
for size in 1280x800 1920x1080; do
  w=${size%x*}
  # The whole window at the first verse, where the melody and the piano's chords play.
  shot "はじまりの朝" "$here/docs/main-window-$w.png" "$size" --bar 5
  # The music view alone, as the window of that size shows it.
  shot "はじまりの朝" "$here/docs/music-view-$w.png" "$size" --bar 5 --view-only
done
shot "ハ長調" "$here/docs/chord-map-view.png" 1400x860
# The same verse with every resolved-pitch lane shown: the keys the chords make.
shot "はじまりの朝" "$here/docs/music-view-lanes.png" 1400x860 --bar 5 --lanes
shot "はじまりの朝" "$here/data/manual/music-view.png" 1280x800 --bar 5
shot "はじまりの朝" "$here/data/manual/music-view-lanes.png" 1280x800 --bar 5 --lanes
# Step recording: the toggle on, and five keys entered at the melody's fifth bar as if played.
shot "はじまりの朝" "$here/data/manual/step-record.png" 1280x800 --bar 5 --step-keys 72,74,76,79,77
shot "ハ長調" "$here/data/manual/chord-map-view.png" 1280x800
shot "バンド" "$here/data/manual/stage-map-view.png" 1280x800
