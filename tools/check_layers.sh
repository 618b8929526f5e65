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

# Sets `r` to the rank of a layer name, -1 for none of ours.
rank() {
    case $1 in
        platform) r=0 ;; model) r=1 ;; text) r=2 ;; play) r=3 ;;
        edit) r=4 ;; app) r=5 ;; ui | gui) r=6 ;; *) r=-1 ;;
    esac
}

# Sets `norm` to a relative path with "." and ".." collapsed, without touching the disk.
normalise() {
    local IFS=/ part
    local -a out=()
    for part in $1; do
        case $part in
            '' | .) ;;
            ..) if ((${#out[@]})); then unset 'out[${#out[@]}-1]'; else out+=(..); fi ;;
            *) out+=("$part") ;;
        esac
    done
    norm="${out[*]}"
}

# Sets `target` to the layer an include names, or to nothing when it names none of ours.
layer_of_include() {
    local file=$1 inc=${2#src/} first
    target=
    first=${inc%%/*}
    rank "$first"
    if [[ $inc == */* ]] && ((r >= 0)); then
        target=$first
        return
    fi
    # Relative to the including file.
    normalise "${file%/*}/$inc"
    [[ $norm == src/*/* ]] || return
    norm=${norm#src/}
    first=${norm%%/*}
    rank "$first"
    ((r >= 0)) && target=$first
}

# Prints, as FILE:LINE:TEXT, the includes of the layers' files that can reach another layer:
# those naming another layer's folder and those with a "..". The rest (the file's own layer, a
# system header, a file beside it) never can, and they are most of the lines; the loop below
# judges only these.
crossing_includes() {
    local dir own layer others
    for dir in src/*/; do
        own=${dir#src/}
        own=${own%/}
        rank "$own"
        ((r >= 0)) || continue
        others=
        for layer in platform model text play edit app ui gui; do
            [[ $layer == "$own" ]] || others+=${others:+|}$layer
        done
        find "$dir" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0 |
            xargs -0 -r grep -HnE \
                "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]((src/)?($others)/|[^\">]*\\.\\.)"
    done
}

status=0
include_re='^([^:]+):[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^">]+)[">]'

while IFS= read -r line; do
    [[ $line =~ $include_re ]] || continue
    file=${BASH_REMATCH[1]}
    inc=${BASH_REMATCH[2]}
    layer_of_include "$file" "$inc"
    [[ -n $target ]] || continue
    rel=${file#src/}
    own=${rel%%/*}
    rank "$own"
    own_rank=$r
    rank "$target"
    if ((own_rank >= 0 && r > own_rank)); then
        echo "layer violation: $file includes $inc ($target/ is above $own/)"
        status=1
    elif [[ $own == ui && $target == gui ]]; then
        echo "layer violation: $file includes $inc (the terminal front end stays free of gui/)"
        status=1
    fi
done < <(crossing_includes)

# Qt belongs to the desktop front end (src/gui), its tests and its benchmarks only.
qt_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Qt[A-Za-z0-9_]*/[^">]*|Q[A-Za-z0-9_]+(\.h)?)[">]'
while IFS= read -r hit; do
    file=${hit%%:*}
    case $file in src/gui/* | tests/gui/* | bench/gui/*) continue ;; esac
    echo "Qt outside the desktop front end: $hit"
    status=1
done < <(find src tests bench fuzz tools -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) \
             -print0 2>/dev/null | xargs -0 -r grep -HnE "$qt_re")
exit $status
