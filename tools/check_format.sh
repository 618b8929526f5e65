#!/usr/bin/env bash
# Fails when clang-format would change any C++ file of the project, and also whenever
# clang-format itself fails (a broken .clang-format, a crash, a missing file): only a clean run
# over every file passes. The check expects clang-format 14 (Debian's clang-format-14, installed
# by tools/setup.sh); another major version formats differently, so it is refused.
# KV_CLANG_FORMAT names the clang-format to use instead of the one found on PATH.
set -u
expected_major=14
root=${1:-.}
cd "$root" || { echo "check_format: no such folder: $root"; exit 2; }

fmt=${KV_CLANG_FORMAT:-$(command -v clang-format-$expected_major || command -v clang-format)}
if [[ -z $fmt ]] || ! command -v "$fmt" >/dev/null; then
    echo "check_format: clang-format $expected_major is missing (run tools/setup.sh)"
    exit 2
fi
version=$("$fmt" --version 2>&1)
if [[ ! $version =~ version[[:space:]]+([0-9]+)\. ]]; then
    echo "check_format: cannot tell the version of $fmt: $version"
    exit 2
fi
if [[ ${BASH_REMATCH[1]} != "$expected_major" ]]; then
    echo "check_format: $fmt is clang-format ${BASH_REMATCH[1]}; the check expects clang-format $expected_major"
    exit 2
fi

# The style itself must load: clang-format reports a bad key or bad syntax here.
if ! config_errors=$("$fmt" --style=file --assume-filename=src/check.cpp --dump-config 2>&1 >/dev/null) ||
    [[ -n $config_errors ]]; then
    echo "check_format: the style file does not load:"
    echo "$config_errors"
    exit 1
fi

mapfile -d '' files < <(find src tests bench fuzz tools \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)
if ((${#files[@]} == 0)); then
    echo "check_format: no C++ files found under $root"
    exit 2
fi

out=$(mktemp)
trap 'rm -f "$out"' EXIT
printf '%s\0' "${files[@]}" |
    xargs -0 -n 25 -P "$(nproc)" "$fmt" --style=file --dry-run -Werror >"$out" 2>&1
tool_status=$?

# Each unformatted place is reported as "FILE:LINE:COL: error: code should be clang-formatted".
report=$(grep -E '^[^:]+\.(h|cpp):[0-9]+:[0-9]+: error: code should be clang-formatted' "$out" |
         cut -d: -f1 | sort -u)
if [[ -n $report ]]; then
    sed 's/^/not formatted: /' <<<"$report"
    exit 1
fi
# Anything else clang-format says, or any failure of it, fails the check too.
if ((tool_status != 0)) || [[ -s $out ]]; then
    echo "check_format: clang-format failed (status $tool_status):"
    head -n 40 "$out"
    exit 1
fi
exit 0
