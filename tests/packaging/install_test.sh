#!/usr/bin/env bash
# The installed program: `cmake --install` into a temporary prefix, which is then made read-only,
# and runs of the installed korvante with HOME and the XDG folders in a temporary folder: the
# demo, and a script session that starts the application, edits the demo song, saves and exits.
# Nothing under the prefix may change; the settings and the user's copy of the demo library
# appear in the user's folders, and a second session starts on that copy (a first start in
# English on the copy of the English demo). The desktop files pass their validators, and the
# file types are recognised by extension and by their first bytes.
# Usage: install_test.sh BUILD-FOLDER
set -u
build=$1
work=$(mktemp -d /tmp/kvinstall-XXXXXX)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
}
for f in bin/korvante bin/korvante-gui share/korvante/mymusic/library.kvnr \
    share/korvante/pattern_v01/pattern.kvnb share/korvante/define/mapscale.def \
    share/korvante/mymusic/en/library.kvnr share/korvante/mymusic/en/demo/song.kvnl \
    share/korvante/pattern_v01/en/pattern.kvnb \
    share/korvante/template share/korvante/manual/index.html \
    share/korvante/manual/en/index.html share/korvante/manual/en/music-view.png \
    share/applications/org.korvante.Korvante.desktop \
    share/metainfo/org.korvante.Korvante.metainfo.xml share/mime/packages/korvante.xml \
    share/icons/hicolor/scalable/apps/korvante.svg share/icons/hicolor/16x16/apps/korvante.png \
    share/icons/hicolor/48x48/apps/korvante.png share/icons/hicolor/256x256/apps/korvante.png \
    share/man/man1/korvante.1; do
    [[ -e $prefix/$f ]] || fail "not installed: $f"
done

desktop-file-validate "$prefix/share/applications/org.korvante.Korvante.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.korvante.Korvante.metainfo.xml" \
    >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
man --warnings -l "$prefix/share/man/man1/korvante.1" >/dev/null 2>"$work/man.log"
[[ -s $work/man.log ]] && { cat "$work/man.log"; fail "the manual page has warnings"; }

# The file types: a private MIME database from the installed definition and the system's.
mkdir -p "$work/mimedata/mime/packages" "$work/samples"
cp "$prefix/share/mime/packages/korvante.xml" /usr/share/mime/packages/freedesktop.org.xml \
    "$work/mimedata/mime/packages/"
update-mime-database "$work/mimedata/mime" >/dev/null 2>&1 || fail "update-mime-database"
cp "$prefix/share/korvante/mymusic/library.kvnr" "$work/samples/"
cp "$prefix/share/korvante/mymusic/demo/demo.kvnb" "$work/samples/"
cp "$prefix/share/korvante/mymusic/demo/song.kvnl" "$work/samples/"
cp "$prefix/share/korvante/mymusic/demo/song.kvnl" "$work/samples/no-extension"
while read -r file want; do
    got=$(XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$work/mimedata gio info \
        -a standard::content-type "$work/samples/$file" 2>/dev/null |
        sed -n 's/.*standard::content-type: //p')
    [[ $got == "$want" ]] || fail "$file is '$got', not $want"
done <<'TYPES'
library.kvnr application/x-korvante-library
demo.kvnb application/x-korvante-book
song.kvnl application/x-korvante-leaf
no-extension application/x-korvante-text
TYPES

# Everything under the prefix, with a checksum per file, before and after the runs.
listing() { (cd "$prefix" && find . -printf '%y %m %p\n' | sort && find . -type f -exec md5sum {} + | sort); }
listing >"$work/before"
chmod -R a-w "$prefix"

user=$work/user
mkdir -p "$user/home" "$user/run" "$work/cwd"
chmod 700 "$user/run"
# The locale of a system without a language, as for the other tests: the first start opens
# the demo library of the program's language, and these sessions expect the Japanese one.
export HOME=$user/home XDG_CONFIG_HOME=$user/config XDG_DATA_HOME=$user/data \
    XDG_STATE_HOME=$user/state XDG_RUNTIME_DIR=$user/run LC_ALL=C.UTF-8
cd "$work/cwd"

"$prefix/bin/korvante" demo --out "$work/out" --no-wav >"$work/demo.log" 2>&1 ||
    { cat "$work/demo.log"; fail "korvante demo"; }
[[ -s $work/out/demo.mid ]] || fail "the demo wrote no $work/out/demo.mid"

mylib=$XDG_DATA_HOME/korvante/mymusic/library.kvnr
# The recent list shows the library in the form the files keep (drive Z: is the host root).
recent="Z:${mylib//\//\\}"
cat >"$work/session.txt" <<SCRIPT
start
print recent
open $mylib デモソング/はじまりの朝
track パート/メロディ
block 0 m_Type=4 m_Whole=2 m_Length=2
save
exit
SCRIPT
"$prefix/bin/korvante" script "$work/session.txt" >"$work/session.log" 2>&1 ||
    { cat "$work/session.log"; fail "the script session"; }
grep -qF "$recent" "$work/session.log" || { cat "$work/session.log"; fail "the first start did not open the user's copy of the demo"; }
[[ -f $XDG_CONFIG_HOME/korvante/korvante.cfg ]] || fail "no settings in $XDG_CONFIG_HOME/korvante"
[[ -f $XDG_DATA_HOME/korvante/mymusic/demo/song.kvnl ]] || fail "the demo library was not copied"
cmp -s "$XDG_DATA_HOME/korvante/mymusic/demo/song.kvnl" "$prefix/share/korvante/mymusic/demo/song.kvnl" &&
    fail "the edit was not saved into the user's copy"

# A second start reads the settings back: the recent library is the user's copy.
printf 'start\nprint recent\nexit\n' >"$work/again.txt"
"$prefix/bin/korvante" script "$work/again.txt" >"$work/again.log" 2>&1 ||
    { cat "$work/again.log"; fail "the second session"; }
grep -qF "$recent" "$work/again.log" || { cat "$work/again.log"; fail "the settings were not read back"; }

# A first start in English (settings of its own) opens the user's copy of the English demo.
XDG_CONFIG_HOME=$user/config-en "$prefix/bin/korvante" --lang en script "$work/again.txt" \
    >"$work/english.log" 2>&1 || { cat "$work/english.log"; fail "the English session"; }
grep -qF "${recent%\\library.kvnr}\\en\\library.kvnr" "$work/english.log" ||
    { cat "$work/english.log"; fail "the English first start did not open the English demo copy"; }

# Root may write into a read-only folder: a user who really cannot runs the installed program,
# and the program also with --home on a copy of the application folder it cannot write into.
if [[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null; then
    nb=$work/nobody
    mkdir -p "$nb/home" "$nb/run"
    cp -r "$prefix/share/korvante" "$work/ro-app"
    chmod -R a-w "$work/ro-app"
    chown -R 65534:65534 "$nb"
    chmod 700 "$nb/run"
    chmod 755 "$work" "$work/cwd"
    printf 'start\nprint recent\nexit\n' >"$nb/session.txt"
    for home_args in "" "--home $work/ro-app"; do
        # shellcheck disable=SC2086
        (cd "$nb/home" && setpriv --reuid=65534 --regid=65534 --clear-groups env \
            HOME="$nb/home" XDG_CONFIG_HOME="$nb/home/config" XDG_DATA_HOME="$nb/home/data" \
            XDG_STATE_HOME="$nb/home/state" XDG_RUNTIME_DIR="$nb/run" \
            "$prefix/bin/korvante" $home_args script "$nb/session.txt") >"$nb/out.txt" 2>&1 ||
            { cat "$nb/out.txt"; fail "the session of a user who cannot write ($home_args)"; }
        grep -qF "nobody\\home\\data\\korvante\\mymusic\\library.kvnr" "$nb/out.txt" ||
            { cat "$nb/out.txt"; fail "no user's copy of the demo opened ($home_args)"; }
        [[ -f $nb/home/config/korvante/korvante.cfg ]] ||
            fail "no settings in the user's folder ($home_args)"
        rm -rf "$nb/home/config"
    done
    chmod -R u+w "$work/ro-app"
fi

chmod -R u+w "$prefix"
listing >"$work/after"
diff "$work/before" "$work/after" || fail "files under the prefix changed"

if ((failures)); then
    echo "$failures failure(s)"
    exit 1
fi
echo "installed, validated, and ran read-only without writing under the prefix"
