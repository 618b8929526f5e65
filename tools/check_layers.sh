#!/usr/bin/env bash
# Fails when a file of a lower layer includes a header of a higher layer.
# Order, bottom up: platform, model, text, play, edit, app, ui.
set -u
root=${1:-.}
cd "$root/src" || exit 2
layers=(platform model text play edit app ui)
rank() { local i; for i in "${!layers[@]}"; do [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }; done; echo -1; }
status=0
for dir in "${layers[@]}"; do
  [[ -d $dir ]] || continue
  own=$(rank "$dir")
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include[[:space:]]*"([a-z]+)\/.*/\1/' <<<"${line#*:}")
    r=$(rank "$inc")
    # Overrides that build a higher-layer object are defined in the higher layer's own
    # source files, so neither headers nor sources of a lower layer ever reach up.
    if (( r > own )); then
      echo "layer violation: $file includes $inc/"
      status=1
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' -E '#include[[:space:]]*"[a-z]+/' "$dir" | sed -E 's/^([^:]*):[0-9]+:/\1:/')
done
exit $status
