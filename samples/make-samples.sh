#!/bin/sh
# Makes the bundled sample jobs with qxlmkjob, and with qxlinspect what the
# monitor does with each: its listing (expected/NAME.txt) and the bytes it
# sends to the port, its status requests left out (expected/NAME.port).
#   samples/make-samples.sh [OUTDIR [QXLMKJOB QXLINSPECT]]
# The tools test makes them again in a temporary directory and compares.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "${1:-$here}" && cd "${1:-$here}" && pwd)
mkjob=$(cd "$(dirname "${2:-$here/../build/native/qxlmkjob}")" && pwd)/$(basename "${2:-qxlmkjob}")
inspect=$(cd "$(dirname "${3:-$here/../build/native/qxlinspect}")" && pwd)/$(basename "${3:-qxlinspect}")
mkdir -p "$out/expected"
cd "$out"

make_job() {
    name=$1
    shift
    "$mkjob" "$@" -o "$name.job"
    "$inspect" "$name.job" --port-bytes "expected/$name.port" > "expected/$name.txt"
}

# Text in DejaVu Sans (descenders, a name beyond ASCII) and a grey picture dithered.
make_job address --caption Address --text 'Jürgen Pöppelmann\n12 Harbour Quay\nPortsmouth PO1 2AB' \
    --image "$here/src/parcel.png"
make_job two-pages --caption 'Two pages' --text 'Page one' --text 'Page two'
make_job three-pages --caption 'Three pages' --pattern 120 --pattern 120 --pattern 120
make_job compressed --caption Compressed --compress --image "$here/src/logo.pbm" --font builtin --text 'Compressed'
# Labels longer than the printer's buffer: the monitor sends each in parts.
make_job long-label --caption 'Long label' --pattern 800
make_job long-label-compressed --caption 'Long label' --compress --pattern 800
make_job copies-collated --caption Collated --copies 2 --media-width 36 --collate --pattern 100 --text 'Last page'
make_job copies-uncollated --caption Uncollated --copies 3 --media-width 36 --text 'Three of me' --pattern 90

# A cover open found before page 2 is answered with continue: the printer is
# reset and page 2 goes out whole, once, before page 3.
page1=$("$inspect" --port expected/three-pages.port | sed -n 's/^  label 1: .*ends at offset \([0-9]*\)$/\1/p')
{
    head -c $((page1 + 1)) expected/three-pages.port
    head -c 48 /dev/zero
    printf '\033@'
    tail -c +$((page1 + 2)) expected/three-pages.port
} > expected/three-pages.cover-open-2.port
