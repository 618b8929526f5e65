#!/usr/bin/env bash
# Fails when clang-format would change any C++ file of the project.
set -u
root=${1:-.}
cd "$root" || exit 2
fmt=$(command -v clang-format-14 || command -v clang-format) || { echo "clang-format missing"; exit 2; }
status=0
while IFS= read -r -d '' f; do
  if ! "$fmt" --style=file --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f"
    status=1
  fi
done < <(find src tests bench fuzz tools \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null)
exit $status
