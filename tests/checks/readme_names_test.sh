#!/usr/bin/env bash
# Every name src/README.md quotes (in backticks) must exist in the sources: as a word of the
# code, as the start of one (for prefixes written as `Mply` or `MTYPE_`), or as a file or folder
# under src/. Paths (with a slash) must exist in the repository.
set -u
repo=$(cd "${1:?usage: readme_names_test.sh REPOSITORY}" && pwd)
readme="$repo/src/README.md"
[[ -f $readme ]] || { echo "missing: src/README.md"; exit 1; }
cd "$repo" || exit 2

words=$(mktemp)
trap 'rm -f "$words"' EXIT
# Every identifier of the code, and every file and folder name under src/ (without extension).
{
    find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | xargs -0 grep -ohE '[A-Za-z_][A-Za-z0-9_]*'
    find src -mindepth 1 -printf '%f\n' | sed 's/\.[^.]*$//'
    grep -ohE '[A-Za-z_][A-Za-z0-9_]*' CMakeLists.txt  # target names
} | sort -u >"$words"

missing=0
checked=0
while IFS= read -r name; do
    checked=$((checked + 1))
    if [[ $name == */* ]]; then
        [[ -e $name || -e src/$name ]] && continue
        echo "no such path: $name"
        missing=$((missing + 1))
        continue
    fi
    name=${name%()}
    prefix_star=0
    [[ $name == *'*' ]] && { name=${name%'*'}; prefix_star=1; }
    # A qualified name: each part must exist.
    ok=1
    IFS=: read -ra parts <<<"${name//::/:}"
    for part in "${parts[@]}"; do
        [[ -n $part ]] || continue
        if ((prefix_star)) || [[ $part == *_ || $part =~ ^[A-Z][a-z]+$ ]]; then
            grep -q "^$part" "$words" || ok=0  # a prefix
        else
            grep -qx "$part" "$words" || ok=0
        fi
    done
    ((ok)) && continue
    echo "not in the code: $name"
    missing=$((missing + 1))
done < <(grep -oE '`[^`]+`' "$readme" | tr -d '`' | grep -vE '[[:space:]]|^[<.]|^-' | sort -u)

echo "$checked names checked, $missing missing"
((checked > 0 && missing == 0))
