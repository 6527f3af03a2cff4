#!/bin/sh
# make demo: whole jobs through the real qxlmon.dll with qxlprint, over the
# bundled samples. Ends with "demo: OK" only when every run's port received
# exactly the bytes its job should print.
set -u
here=$(cd "$(dirname "$0")" && pwd)
samples=$here/../samples
failed=""

run() {
    title=$1
    shift
    printf '\n=== %s ===\n\n' "$title"
    "$here/qxlprint.sh" "$@" || failed="$failed; $title (exit $?)"
}

run "A plain three-page job on a USB port" "$samples/three-pages.job" --port QXUSB001 \
    --expect "$samples/expected/three-pages.port"
run "A recovery: cover open before page 2, the user answers continue" "$samples/three-pages.job" \
    --port QXUSB001 --fault cover-open@2 --expect "$samples/expected/three-pages.cover-open-2.port"
run "Three uncollated copies, rebuilt at the job end" "$samples/copies-uncollated.job" --port QXUSB001 \
    --expect "$samples/expected/copies-uncollated.port"
run "A label too long for the printer's buffer, sent in parts" "$samples/long-label.job" \
    --port QXUSB001 --expect "$samples/expected/long-label.port"
run "The same label compressed, on a network print server port" \
    "$samples/long-label-compressed.job" --port NX1 --expect "$samples/expected/long-label-compressed.port"
run "An address label (DejaVu Sans, a dithered picture) on a network print server port" "$samples/address.job" --port NX1 \
    --expect "$samples/expected/address.port"

echo
if [ -z "$failed" ]; then
    echo "demo: OK"
    exit 0
fi
echo "demo: FAILED$failed"
exit 1
