#!/bin/sh
# Prints a job file through the real qxlmon.dll with qxlprint.exe, under the
# project's private Wine prefix (and a virtual display when there is none):
#   tools/qxlprint.sh JOB [qxlprint options] [--png DIR]
# It takes the Windows build the tests use: build/win32 where the kernel runs
# 32-bit code, build/win64 elsewhere (tools/ia32-probe). --png DIR has
# qxlprint.exe write the port's bytes to a file and draws the labels in them
# with the native qxlinspect (build/native, which writes PNG with libpng).
# The exit status is qxlprint's (qxlprint.sh --help lists them).
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${QXL_BUILD:-$here/../build}
if "$here/ia32-probe" >/dev/null 2>&1; then
    arch=win32 loader=/usr/lib/wine/wine
else
    arch=win64 loader=/usr/lib/wine/wine64
fi
exe=$build/$arch/qxlprint/qxlprint.exe
prefix=$(cd "$build" 2>/dev/null && pwd)/wineprefix-$arch
if [ ! -f "$exe" ] || [ ! -f "$prefix/.qxl-ready" ]; then
    echo "qxlprint: no $exe or no Wine prefix: run make windows prefix first" >&2
    exit 2
fi

# --png DIR (or --png=DIR) is taken out here; everything else goes to qxlprint.exe.
png=""
json=0
pbm=0
count=$#
while [ "$count" -gt 0 ]; do
    arg=$1
    shift
    count=$((count - 1))
    case "$arg" in
        --png)
            if [ "$count" -eq 0 ]; then
                echo "qxlprint: --png needs a value (--help lists the options)" >&2
                exit 2
            fi
            png=$1
            shift
            count=$((count - 1))
            ;;
        --png=*) png=${arg#--png=} ;;
        *)
            case "$arg" in
                --json) json=1 ;;
                --pbm|--pbm=*) pbm=1 ;;
            esac
            set -- "$@" "$arg"
            ;;
    esac
done
if [ -n "$png" ] && [ "$pbm" = 1 ]; then
    echo "qxlprint: --png and --pbm draw the same labels: give one of them (--help lists the options)" >&2
    exit 2
fi

inspect=$build/native/qxlinspect
capture=""
if [ -n "$png" ]; then
    if [ ! -x "$inspect" ]; then
        echo "qxlprint: --png needs $inspect: run make native first" >&2
        exit 2
    fi
    capture=$(mktemp)
    trap 'rm -f "$capture"' EXIT
    set -- "$@" --port-file "$capture"
fi

if [ -n "${DISPLAY:-}" ]; then
    "$here/wine-run" "$prefix" "$loader" "$exe" "$@"
    status=$?
else
    # Wine's desktop process outlives a display made for this run alone and
    # says so when the display goes: that line is dropped.
    saved=$(mktemp)
    {
        {
            xvfb-run -a -s "-screen 0 1280x1024x24" "$here/wine-run" "$prefix" "$loader" "$exe" "$@"
            echo $? > "$saved"
        } 2>&1 1>&3 3>&- | grep -v '^X connection to .* broken' >&2
    } 3>&1
    status=$(cat "$saved")
    rm -f "$saved"
fi

# The pictures, as text lines or as JSON objects like every other line of --json.
if [ -n "$png" ] && [ -s "$capture" ]; then
    if [ "$json" = 1 ]; then
        "$inspect" --port --png "$png" "$capture" |
            sed -n 's/\\/\\\\/g; s/"/\\"/g; s/^  \(.*\): \([0-9]*\) x \([0-9]*\) dots$/{"event":"picture","file":"\1","width":\2,"height":\3}/p'
    else
        echo
        echo "pictures of the labels that reached the port:"
        "$inspect" --port --png "$png" "$capture" | sed -n '/^  .*: [0-9]* x [0-9]* dots$/p'
    fi
fi
exit $status
