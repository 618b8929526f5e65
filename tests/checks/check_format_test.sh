#!/usr/bin/env bash
# Feeds tools/check_format.sh known faults in a temporary copy of the sources and expects each
# to fail the check; the untouched copy must pass.
set -u
repo=$(cd "${1:?usage: check_format_test.sh REPOSITORY}" && pwd)
check="$repo/tools/check_format.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A fresh copy of the sources with the real style file.
fresh_tree() {
    rm -rf "$work/tree"
    mkdir -p "$work/tree"
    cp -r "$repo/src" "$repo/.clang-format" "$work/tree/"
}

# expect STATUS_KIND NAME [ENV...]: runs the check on the tree; "pass" wants 0, "fail" non-zero.
expect() {
    local want=$1 name=$2 status
    shift 2
    env "$@" bash "$check" "$work/tree" >"$work/out" 2>&1
    status=$?
    if [[ $want == pass && $status -ne 0 ]] || [[ $want == fail && $status -eq 0 ]]; then
        echo "FAIL: $name: expected $want, status $status"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    else
        echo "ok: $name ($want, status $status)"
    fi
}

fresh_tree
expect pass "the untouched sources"

fresh_tree
echo "NoSuchOption: 3" >>"$work/tree/.clang-format"
expect fail "an unknown key in .clang-format"

fresh_tree
echo "IndentWidth: [" >>"$work/tree/.clang-format"
expect fail "a style file that is not valid YAML"

fresh_tree
printf 'int   badly ;\n' >>"$work/tree/src/model/core/MseqId.h"
expect fail "an unformatted header"

fresh_tree
printf 'void f(){return;}\n' >>"$work/tree/src/play/engine/MplyEvent.cpp"
expect fail "an unformatted source file"

fresh_tree
rm -rf "$work/tree/src"
mkdir "$work/tree/src"
expect fail "a tree without any C++ file"

# Stand-ins for clang-format: another major version, and a version 14 that fails on files.
fresh_tree
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "Debian clang-format version 15.0.7"\n' >"$work/bin/other-version"
cat >"$work/bin/failing" <<'FAKE'
#!/bin/sh
case "$*" in
    *--version*) echo "Debian clang-format version 14.0.6" ;;
    *--dump-config*) exit 0 ;;
    *) exit 1 ;;
esac
FAKE
chmod +x "$work/bin/other-version" "$work/bin/failing"
expect fail "clang-format of another major version" KV_CLANG_FORMAT="$work/bin/other-version"
expect fail "clang-format failing silently on the files" KV_CLANG_FORMAT="$work/bin/failing"
expect fail "clang-format missing" KV_CLANG_FORMAT="$work/bin/no-such-program"

if ((failures)); then
    echo "$failures case(s) wrong"
    exit 1
fi
echo "all cases right"
