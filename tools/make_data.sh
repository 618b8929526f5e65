#!/usr/bin/env bash
# Regenerates the generated files of data/ (scale map, templates, standard pattern book, demo
# library) with the generator built from tools/make_data. The manual pages are written by hand
# and stay as they are.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
cmake -S "$here" -B "$build" -DKV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target korvante_make_data
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$build/korvante_make_data" "$out"
cd "$here/data"
rm -rf define template pattern_v01 mymusic
cp -r "$out"/. .
echo "data/ regenerated:"
find define template pattern_v01 mymusic -type f | sort | sed 's/^/  /'
