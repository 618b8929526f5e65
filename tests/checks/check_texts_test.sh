#!/usr/bin/env bash
# Feeds tools/check_texts.py known texts outside the catalogue (and allowed places for words
# that are not ASCII) in a small tree of its own; each fault must fail the check and name its
# file, each allowed case must pass.
set -u
repo=$(cd "${1:?usage: check_texts_test.sh REPOSITORY}" && pwd)
check="$repo/tools/check_texts.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect pass|fail NAME FILE CONTENT [ALLOWED-LIST-LINE [NAMED]]: a tree whose src holds FILE
# with CONTENT, and an allowed list of the one line given; a failure must name NAMED (FILE when
# not given).
expect() {
    local want=$1 name=$2 file=$3 content=$4 allowed=${5:-} named=${6:-$3} status
    rm -rf "$work/tree"
    mkdir -p "$work/tree/src/edit" "$work/tree/tools"
    printf '%s\n' "$content" >"$work/tree/$file"
    [[ -n $allowed ]] && printf '%s\n' "$allowed" >"$work/tree/tools/texts_outside_catalogue.txt"
    python3 "$check" "$work/tree" >"$work/out" 2>&1
    status=$?
    if [[ $want == fail && $status -ne 0 ]] && ! grep -qF "$named" "$work/out"; then
        echo "FAIL: $name: failed without naming $named"
        failures=$((failures + 1))
    elif [[ $want == pass && $status -ne 0 ]] || [[ $want == fail && $status -eq 0 ]]; then
        echo "FAIL: $name: expected $want, status $status"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    else
        echo "ok: $name ($want, status $status)"
    fi
}

expect fail "a Japanese string" src/edit/A.cpp 'const char* t = "保存";'
expect fail "a Japanese text after an escaped quote" src/edit/A.cpp 'f("say \"hi\" 保存");'
expect fail "a raw string" src/edit/A.cpp 'const char* t = R"x(a "b" 保存)x";'
expect fail "a sharp sign" src/edit/A.h 'const char* t = "C♯";'
expect fail "a text on the line after a comment" src/edit/A.cpp $'/* 保存 */\nf("保存");'
expect pass "Japanese in comments only" src/edit/A.cpp $'// 保存(&S)\n/* ファイル */ int x = 1\'000;'
expect pass "ASCII texts" src/edit/A.cpp 'f("save %s", "it\x27s");'
expect pass "the catalogue itself" src/edit/T.def 'KV_TEXT(SAVE, "保存", "Save")'
expect pass "a listed file" src/edit/A.cpp 'const char* w = "保存";' "src/edit/A.cpp  # stored words"
expect fail "a listed file that is gone" src/edit/B.cpp 'int x;' "src/edit/A.cpp  # stored words" \
    src/edit/A.cpp
# The real sources pass as they stand.
if ! python3 "$check" "$repo" >"$work/out" 2>&1; then
    echo "FAIL: the project's own sources"
    sed 's/^/    /' "$work/out"
    failures=$((failures + 1))
fi

((failures == 0)) || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
