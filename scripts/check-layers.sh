#!/usr/bin/env bash
# Fails when a source in one of the program's folders includes a header from its own layer's other folders or
# from a layer above it (the order is in layers.txt). The tree to check is the argument, the project by default.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
layers=$(dirname "$0")/layers.txt

declare -A level
n=0
while read -r line; do
    line=${line%%#*}
    [ -n "${line// /}" ] || continue
    for folder in $line; do level[$folder]=$n; done
    n=$((n + 1))
done <"$layers"

bad=0
checked=0
for folder in "${!level[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r -d '' file; do
        checked=$((checked + 1))
        while IFS=: read -r lineno target; do
            to=${target%%/*}
            [ "$to" != "$target" ] && [ -n "${level[$to]+x}" ] || continue
            [ "$to" = "$folder" ] && continue
            if [ "${level[$to]}" -le "${level[$folder]}" ]; then
                echo "upward include: ${file#"$root"/}:$lineno includes $target"
                bad=$((bad + 1))
            fi
        done < <(awk 'match($0, /^[ \t]*#[ \t]*include[ \t]*"[^"]*"/) {
            t = substr($0, RSTART, RLENGTH); sub(/^[^"]*"/, "", t); sub(/"$/, "", t); print FNR ":" t }' "$file")
    done < <(find "$root/$folder" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
done

[ $checked -gt 0 ] || { echo "layers: no source found under $root"; exit 1; }
if [ $bad -gt 0 ]; then
    echo "== layers: $bad upward includes in $checked files"
    exit 1
fi
echo "== layers: $checked files, no upward include"
