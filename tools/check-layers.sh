#!/bin/sh
# The folders of src/ include one another one way only: lists the include
# edges between folders and fails on a cycle. check-layers.sh SRC_DIR
set -eu
src=$1
edges=$(for file in $(find "$src" -name '*.cpp' -o -name '*.h'); do
    from=$(basename "$(dirname "$file")")
    sed -n 's/^#include "\([a-z_]*\)\/.*/\1/p' "$file" | while read -r to; do
        if [ "$from" != "$to" ]; then echo "$from $to"; fi
    done
done | sort -u)
echo "include edges between folders (from to):"
echo "$edges" | sed 's/^/  /'
# tsort fails on a cycle; its order, lowest layer first, is printed reversed.
order=$(echo "$edges" | tsort) || { echo "check-layers: the folders include one another in a cycle" >&2; exit 1; }
echo "layers, lowest first: $(echo "$order" | tac | tr '\n' ' ')"
