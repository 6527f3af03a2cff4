#!/bin/sh
# Checks a product image: its PE format (pei-i386 for i686, pei-x86-64 for
# x86_64, so that no 32-bit image lands in the 64-bit product), exactly the
# given undecorated exports (none for a program), and imports from Windows
# system DLLs only (the runtime is linked statically).
# check-dll-tables.sh OBJDUMP FILE FORMAT [EXPORT...]
set -eu
objdump=$1
file=$2
format=$3
shift 3
dump=$("$objdump" -p "$file")

found=$(printf '%s\n' "$dump" | awk '/file format/{print $NF; exit}')
if [ "$found" != "$format" ]; then
    echo "format: '$found', expected '$format'"; exit 1
fi

exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF;next} t{t=0}' | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
if [ "$exports" != "$expected" ]; then
    echo "exports: '$exports', expected '$expected'"; exit 1
fi

imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
for dll_name in $imports; do
    case "$dll_name" in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|winspool.drv|version.dll|msvcrt.dll|ntdll.dll) ;;
        api-ms-win-*) ;;
        *) echo "unexpected import: $dll_name"; exit 1 ;;
    esac
done
echo "format: $found"
echo "exports: $exports"
echo "imports:" $imports
echo "1 passed, 0 failed"
