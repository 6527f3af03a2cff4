#!/bin/sh
# Checks the status monitor application: a Windows GUI program that imports
# from Windows system DLLs only (the runtime is linked statically).
set -eu
objdump=$1
exe=$2
dump=$("$objdump" -p "$exe")

printf '%s\n' "$dump" | grep -q 'Subsystem.*(Windows GUI)' || { echo "not a GUI program"; exit 1; }
imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
for dll_name in $imports; do
    case "$dll_name" in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|comctl32.dll|msvcrt.dll) ;;
        *) echo "unexpected import: $dll_name"; exit 1 ;;
    esac
done
echo "imports:" $imports
echo "1 passed, 0 failed"
