#!/usr/bin/env bash
# Fails when a file of a lower layer includes a header of a higher layer, or when a Qt header is
# included anywhere but in the desktop front end.
# Order, bottom up: platform, model, text, play, edit, app, then the two front ends ui and gui
# side by side at the top. The terminal front end never includes the desktop one: the headless
# tools must not pull in the window toolkit.
# Every spelling of an include counts: "play/x.h", <play/x.h>, and paths relative to the
# including file such as "../ui/x.h" or "../../play/engine/x.h".
set -u
root=${1:-.}
cd "$root" || { echo "check_layers: no such folder: $root"; exit 2; }
[[ -d src ]] || { echo "check_layers: no src folder under $root"; exit 2; }

layers=(platform model text play edit app ui gui)
rank() {
    case $1 in
        platform) echo 0 ;; model) echo 1 ;; text) echo 2 ;; play) echo 3 ;;
        edit) echo 4 ;; app) echo 5 ;; ui | gui) echo 6 ;; *) echo -1 ;;
    esac
}

# Collapses "." and ".." in a relative path, without touching the disk.
normalise() {
    local IFS=/ part out=()
    for part in $1; do
        case $part in
            '' | .) ;;
            ..) ((${#out[@]})) && unset 'out[${#out[@]}-1]' || out+=(..) ;;
            *) out+=("$part") ;;
        esac
    done
    local joined
    joined=$(printf '%s/' "${out[@]}")
    echo "${joined%/}"
}

# The layer an include names, or nothing when it names none of ours.
layer_of_include() {
    local file=$1 inc=$2 first
    inc=${inc#src/}
    first=${inc%%/*}
    if [[ $inc == */* && $(rank "$first") -ge 0 ]]; then
        echo "$first"
        return
    fi
    # Relative to the including file.
    local resolved
    resolved=$(normalise "$(dirname "$file")/$inc")
    if [[ $resolved == src/* ]]; then
        resolved=${resolved#src/}
        first=${resolved%%/*}
        [[ $resolved == */* && $(rank "$first") -ge 0 ]] && echo "$first"
    fi
}

status=0
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]+)[">]'

while IFS= read -r -d '' file; do
    rel=${file#src/}
    own=${rel%%/*}
    own_rank=$(rank "$own")
    while IFS= read -r line; do
        [[ $line =~ $include_re ]] || continue
        inc=${BASH_REMATCH[1]}
        target=$(layer_of_include "$file" "$inc")
        [[ -n $target ]] || continue
        if ((own_rank >= 0 && $(rank "$target") > own_rank)); then
            echo "layer violation: $file includes $inc ($target/ is above $own/)"
            status=1
        elif [[ $own == ui && $target == gui ]]; then
            echo "layer violation: $file includes $inc (the terminal front end stays free of gui/)"
            status=1
        fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(find src -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0)

# Qt belongs to the desktop front end (src/gui and its tests) only.
qt_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Qt[A-Za-z0-9_]*/[^">]*|Q[A-Za-z0-9_]+(\.h)?)[">]'
while IFS= read -r hit; do
    file=${hit%%:*}
    case $file in src/gui/* | tests/gui/*) continue ;; esac
    echo "Qt outside the desktop front end: $hit"
    status=1
done < <(find src tests bench fuzz tools -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) \
             -print0 2>/dev/null | xargs -0 -r grep -HnE "$qt_re")
exit $status
