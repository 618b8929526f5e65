#!/usr/bin/env bash
# Feeds tools/check_layers.sh known violations (and allowed includes) in a temporary copy of the
# sources; each violation must fail the check, each allowed case and the untouched copy pass.
set -u
repo=$(cd "${1:?usage: check_layers_test.sh REPOSITORY}" && pwd)
check="$repo/tools/check_layers.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect pass|fail NAME FILE LINE: appends LINE to FILE (relative to the copy, created when
# missing) in a fresh copy of src and runs the check.
expect() {
    local want=$1 name=$2 file=$3 line=$4 status
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    cp -r "$repo/src" "$work/tree/"
    if [[ -n $file ]]; then
        mkdir -p "$(dirname "$work/tree/$file")"
        printf '%s\n' "$line" >>"$work/tree/$file"
    fi
    bash "$check" "$work/tree" >"$work/out" 2>&1
    status=$?
    # A failure must name the file that holds the fault, not something else.
    if [[ $want == fail && $status -ne 0 ]] && ! grep -qF "$file" "$work/out"; then
        echo "FAIL: $name: failed without naming $file"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    elif [[ $want == pass && $status -ne 0 ]] || [[ $want == fail && $status -eq 0 ]]; then
        echo "FAIL: $name: expected $want, status $status"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    else
        echo "ok: $name ($want, status $status)"
    fi
}

expect pass "the untouched sources" "" ""

# Lower layers reaching up, in every spelling of an include.
expect fail "model includes play by layer path" src/model/core/MseqId.h '#include "play/engine/MplyPlayer.h"'
expect fail "model includes play in angle brackets" src/model/core/MseqId.h '#include <play/engine/MplyPlayer.h>'
expect fail "text includes ui by a relative path" src/text/MrecHeader.cpp '#include "../ui/Session.h"'
expect fail "play includes ui two folders up" src/play/engine/MplyEvent.h '#include "../../ui/Session.h"'
expect fail "platform includes model with spaces" src/platform/Clock.h '#  include  "model/core/MseqId.h"'
expect fail "edit includes app" src/edit/EditThing.h '#include <app/AppThing.h>'
expect fail "app includes the desktop front end" src/app/AppThing.cpp '#include "gui/MainWindow.h"'
expect fail "text includes edit through src/" src/text/MrecHeader.h '#include "src/edit/EditThing.h"'
expect fail "the terminal front end includes the desktop one" src/ui/main.cpp '#include "gui/MainWindow.h"'

# Qt outside the desktop front end.
expect fail "a Qt class header in app" src/app/AppThing.cpp '#include <QWidget>'
expect fail "a Qt module path in ui" src/ui/Terminal.h '#include <QtCore/QString>'
expect fail "a quoted Qt header in model" src/model/core/MseqId.h '#include "QtWidgets/QLabel"'

# Allowed includes.
expect pass "ui includes play" src/ui/main.cpp '#include "play/engine/MplyPlayer.h"'
expect pass "a relative include inside model" src/model/track/MseqTrack.h '#include "../core/MseqId.h"'
expect pass "gui includes Qt and app" src/gui/MainWindow.cpp '#include <QWidget>
#include "app/AppThing.h"'
expect pass "system headers" src/model/core/MseqId.h '#include <sys/types.h>'

if ((failures)); then
    echo "$failures case(s) wrong"
    exit 1
fi
echo "all cases right"
