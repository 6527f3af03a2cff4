#!/bin/sh
# Creates the private Wine prefix once: make-wineprefix.sh PREFIX LOADER ARCH
set -eu
prefix=$1 loader=$2 arch=$3
[ -f "$prefix/.qxl-ready" ] && exit 0
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
"$loader" wineboot -i >/dev/null 2>&1
"$(dirname "$loader")/wineserver" -w
touch "$prefix/.qxl-ready"
echo "wine prefix ready: $prefix"
