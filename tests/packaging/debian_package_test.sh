#!/usr/bin/env bash
# The Debian package: cpack builds it from the build folder; its control data names the package
# and its dependencies, and the program unpacked from it with `dpkg -x` runs the demo.
# Usage: debian_package_test.sh BUILD-FOLDER
set -u
build=$1
work=$(mktemp -d /tmp/kvdeb-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(find "$work/pkg" -maxdepth 1 -name 'korvante_*.deb' | head -n 1)
[[ -n $deb ]] || { ls -l "$work/pkg"; echo "FAIL: no korvante_*.deb"; exit 1; }
echo "package: $(basename "$deb")"

dpkg-deb -f "$deb" Package | grep -qx korvante || fail "the package is not named korvante"
dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "the package lists no library dependencies"
dpkg-deb -c "$deb" >"$work/contents"
for f in ./usr/bin/korvante ./usr/bin/korvante-gui ./usr/share/korvante/mymusic/library.kvnr \
    ./usr/share/applications/org.korvante.Korvante.desktop ./usr/share/mime/packages/korvante.xml \
    ./usr/share/metainfo/org.korvante.Korvante.metainfo.xml ./usr/share/man/man1/korvante.1 \
    ./usr/share/korvante/manual/index.html ./usr/share/korvante/manual/en/index.html; do
    grep -q " $f\$" "$work/contents" || fail "the package lacks $f"
done

dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/home" "$work/run" "$work/cwd"
chmod 700 "$work/run"
(cd "$work/cwd" && HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data \
    XDG_STATE_HOME=$work/home/state XDG_RUNTIME_DIR=$work/run \
    "$work/root/usr/bin/korvante" demo --out "$work/out" --no-wav) >"$work/demo.log" 2>&1 ||
    { cat "$work/demo.log"; fail "the unpacked program's demo"; }
[[ -s $work/out/demo.mid ]] || fail "the unpacked program wrote no demo.mid"
grep -q "bars" "$work/demo.log" || { cat "$work/demo.log"; fail "the demo printed no summary"; }

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "the package builds and its unpacked program runs the demo"
