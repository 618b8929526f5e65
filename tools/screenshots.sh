#!/usr/bin/env bash
# Regenerates the pictures of the documentation in each interface language, drawn off the screen
# on the demo library with the demo song open: the main window and the music view alone at
# 1280x800 and 1920x1080 (main-window-W.png, music-view-W.png), the music view with its
# resolved-pitch lanes, the chord-map view and the settings dialog for the README, and the editor
# views and step recording for the manual. The Japanese pictures go to docs/ and data/manual/,
# the English ones to docs/en/ and data/manual/en/. Builds a Release build in build/ first.
# Usage: tools/screenshots.sh [ja|en]...   (both languages when none is named)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"
langs=("$@")
((${#langs[@]})) || langs=(ja en)
for lang in "${langs[@]}"; do
  case $lang in
    ja | en) ;;
    *)
      echo "usage: $0 [ja|en]..." >&2
      exit 2
      ;;
  esac
done
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF >/dev/null
# Two jobs at most, and behind other work: the machine is shared.
nice -n 10 cmake --build "$build" -j2 --target korvante korvante-gui
# A fresh copy of the application folder, so that no stored window placement, tree width, recent
# list or language setting of this machine changes the picture.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp -r "$here/data/." "$home/"

# shot LANG LEAF FILE SIZE [OPTION...]: the window in LANG with LEAF open, into FILE.
shot() {
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen \
    "$build/korvante" gui --lang "$1" --home "$home" --open "$2" --screenshot "$3" --size "$4" \
    "${@:5}"
}

for lang in "${langs[@]}"; do
  if [[ $lang == ja ]]; then
    docs="$here/docs" manual="$here/data/manual"
  else
    docs="$here/docs/$lang" manual="$here/data/manual/$lang"
  fi
  mkdir -p "$docs" "$manual"
  # A first start in English opens the English demo library, whose song and maps have English
  # names.
  if [[ $lang == ja ]]; then
    song="はじまりの朝" chord="ハ長調" stage="バンド"
  else
    song="First Morning" chord="C major" stage="Band"
  fi
  for size in 1280x800 1920x1080; do
    w=${size%x*}
    # The whole window at the first verse, where the melody and the piano's chords play.
    shot "$lang" "$song" "$docs/main-window-$w.png" "$size" --bar 5
    # The music view alone, as the window of that size shows it.
    shot "$lang" "$song" "$docs/music-view-$w.png" "$size" --bar 5 --view-only
  done
  shot "$lang" "$chord" "$docs/chord-map-view.png" 1400x860
  # The same verse with every resolved-pitch lane shown: the keys the chords make.
  shot "$lang" "$song" "$docs/music-view-lanes.png" 1400x860 --bar 5 --lanes
  shot "$lang" "$song" "$manual/music-view.png" 1280x800 --bar 5
  shot "$lang" "$song" "$manual/music-view-lanes.png" 1280x800 --bar 5 --lanes
  # Step recording: the toggle on, and five keys entered at the melody's fifth bar as if played.
  shot "$lang" "$song" "$manual/step-record.png" 1280x800 --bar 5 \
    --step-keys 72,74,76,79,77
  shot "$lang" "$chord" "$manual/chord-map-view.png" 1280x800
  shot "$lang" "$stage" "$manual/stage-map-view.png" 1280x800
  # The settings dialog over the window, where the interface language is chosen.
  shot "$lang" "$song" "$docs/settings-dialog.png" 1280x800 --dialog settings
done
