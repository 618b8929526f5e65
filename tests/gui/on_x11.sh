#!/usr/bin/env bash
# Runs a window test program on a real X server: a private Xvfb on a display number it picks
# itself (-displayfd, so parallel runs never race for one), with Qt's xcb platform. The offscreen
# platform makes every window active and refuses every drag; on X11 the window has to be
# activated and drags run through the X server's pointer, as on a desktop.
set -eu
if ! command -v Xvfb >/dev/null; then
    echo "Xvfb is not installed (tools/setup.sh installs the xvfb package)" >&2
    exit 1
fi
tmp=$(mktemp -d)
xvfb=""
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [[ -s $tmp/display ]] && break
    sleep 0.1
done
display=$(head -n1 "$tmp/display")
if [[ -z $display ]]; then
    echo "Xvfb did not start:" >&2
    cat "$tmp/xvfb.log" >&2
    exit 1
fi
status=0
env -u WAYLAND_DISPLAY DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$@" || status=$?
exit "$status"
