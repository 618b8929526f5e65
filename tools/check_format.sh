#!/usr/bin/env bash
# Fails when clang-format would change any C++ file of the project.
set -u
root=${1:-.}
cd "$root" || exit 2
fmt=$(command -v clang-format-14 || command -v clang-format) || { echo "clang-format missing"; exit 2; }
report=$(find src tests bench fuzz tools \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null |
         xargs -0 -n 25 -P "$(nproc)" "$fmt" --style=file --dry-run -Werror 2>&1 |
         grep -oE '^[^:]+\.(h|cpp):[0-9]+' | cut -d: -f1 | sort -u)
if [[ -n $report ]]; then
  sed 's/^/not formatted: /' <<<"$report"
  exit 1
fi
exit 0
