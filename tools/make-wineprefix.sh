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
# A crashing test program ends at once instead of waiting in the debugger.
for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
           'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
    "$loader" reg add "$key" /v Debugger /d "" /f >/dev/null 2>&1 || true
    "$loader" reg add "$key" /v Auto /d 0 /f >/dev/null 2>&1 || true
done
"$(dirname "$loader")/wineserver" -w
touch "$prefix/.qxl-ready"
echo "wine prefix ready: $prefix"
