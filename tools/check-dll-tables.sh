#!/bin/sh
# Checks the product DLL: exactly the three undecorated exports, and imports
# from Windows system DLLs only (the runtime is linked statically).
set -eu
objdump=$1
dll=$2
dump=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF;next} t{t=0}' | sort | tr '\n' ' ')
expected="ConnectThreadProc DllEntryPoint InitializeMonitorEx "
if [ "$exports" != "$expected" ]; then
    echo "exports: '$exports', expected '$expected'"; exit 1
fi

imports=$(printf '%s\n' "$dump" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
for dll_name in $imports; do
    case "$dll_name" in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|winspool.drv|msvcrt.dll|ntdll.dll) ;;
        api-ms-win-*) ;;
        *) echo "unexpected import: $dll_name"; exit 1 ;;
    esac
done
echo "exports: $exports"
echo "imports:" $imports
echo "1 passed, 0 failed"
