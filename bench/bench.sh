#!/bin/sh
# make bench: the timing harness under Wine (the real DLL beside a pass-through
# monitor) and the native benchmarks; prints both and writes them, with a
# summary made from them (bench/summary.awk), the method and the machine, to a
# Markdown document. Timings are never checked.
#   bench.sh BIN_DIR PREFIX LOADER CORE_BENCH OUTPUT [qxltiming arguments]
set -u
here=$(cd "$(dirname "$0")" && pwd)
bin=$1 prefix=$2 loader=$3 core=$4 out=$5
shift 5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
started=$(date -u '+%Y-%m-%d %H:%M UTC')
# A section a process: Wine keeps what each EnumPortsA call took (see
# bench/wine/timing.cpp), and a 32-bit process runs out after some hundreds of
# port opens.
# A process that ends with status 3 (an unhandled exception or an abort: 16
# ports at once sometimes end so inside Wine, see the reading notes) runs once
# more, and the document says so.
timing_status=0
reran=""
for section in spin pages ports labels rebuild flat openclose; do
    for attempt in 1 2; do
        status=0
        (cd "$bin" && "$here/../tools/wine-run" "$prefix" "$loader" qxltiming.exe "$@" "$section") \
            >"$work/section.out" || status=$?
        if [ "$status" = 3 ] && [ "$attempt" = 1 ]; then
            reran="$reran $section"
            continue
        fi
        cat "$work/section.out" >>"$work/timing.out"
        [ "$status" = 0 ] || timing_status=$status
        break
    done
done
tr -d '\r' <"$work/timing.out" >"$work/timing.md"  # the Windows program's line ends
cat "$work/timing.md"

core_status=0
if [ -x "$core" ]; then
    "$core" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out="$work/core.csv" --benchmark_out_format=csv
    core_status=$?
else
    echo "no $core: make native builds it (needs Google Benchmark)"
fi
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# The medians of the native benchmarks as a table.
core_table() {
    [ -s "$work/core.csv" ] || { echo "(not run)"; return; }
    awk -F, '
        /^name,/ { for (i = 1; i <= NF; ++i) { gsub(/"/, "", $i); col[$i] = i }; next }
        !("name" in col) || $1 !~ /_median"?$/ { next }
        {
            name = $1; gsub(/"/, "", name); sub(/_median$/, "", name); sub(/\/manual_time$/, "", name)
            gbps = $(col["bytes_per_second"]) / 1e9
            if ("vs_memcpy" in col && $(col["vs_memcpy"]) != "")
                printf "| %s | %.0f | %.2f | %.2f | %.2f |\n", name, $(col["job_bytes"]) / 1024,
                    gbps, $(col["memcpy_GBps"]), $(col["vs_memcpy"])
            else
                printf "| %s | | %.2f | | |\n", name, gbps
        }' "$work/core.csv"
}

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
case $(basename "$loader") in
    *64) build="64-bit, with the x86_64 build of the DLL" ;;
    *) build="32-bit, with the i686 build of the DLL" ;;
esac
commit=$(git -C "$here/.." rev-parse --short HEAD 2>/dev/null || echo unknown)
# The results first, so that the summary can be made from their tables.
{
    echo "## Results"
    echo
    grep -v '^(the wineserver' "$work/timing.md"
    cat <<CORE

### The scanner against memcpy

Medians of 5 repetitions. memcpy copies the same bytes in the same 4096-byte pieces, so
the bytes are in the caches, as a buffer the spooler has just filled is; the last row is
memcpy of 64 MB in one call, beyond the caches, for scale.

| job | job KB | scanner GB/s | memcpy GB/s | scanner time / memcpy time (goal <= 1) |
|---|---|---|---|---|
CORE
    core_table
} >"$work/results.md"
{
    cat <<HEAD
# Performance

Written by \`make bench\` ($started, commit $commit).
Timings are printed and written here, never checked by the tests.

HEAD
    awk -v commit="$commit" -v started="$started" -f "$here/summary.awk" "$work/results.md"
    cat <<METHOD
## Method

- Machine: $cpu, $(nproc) cores; $("$loader" --version 2>/dev/null || echo "Wine (version unknown)"),
  $build. Load average (1, 5,
  15 minutes) $load_before before the run and $load_after after it, and at the start of each
  section below: other work on the machine makes the absolute figures noisy, so each figure is
  set beside a baseline measured in the same run.
- \`qxltiming.exe\` (\`bench/wine/\`) loads the real \`qxlmon.dll\` as the spooler does and drives
  whole jobs through it over the port monitor stand-in and its emulated printer
  (\`tests/rig/\`), with the QXSMON.EXE stand-in answering. The baseline for the monitor is
  \`qxlpassthru.dll\` (\`bench/passthru/\`), a language monitor whose 13-slot table hands every
  call straight to the port monitor, run in the same program run; both DLLs are driven through
  their InitializeMonitorEx table.
- Wall time: QueryPerformanceCounter. CPU time: GetProcessTimes of the harness's process (the
  monitor, the port monitor stand-in and the harness itself), which Wine counts in steps of
  10 ms; and the wineserver's, which serves every wait, mutex and window message of the
  monitor under Wine (read from \`/proc\`, also in steps of 10 ms). Windows does that work in
  the kernel of the monitor's own process.
- The port monitor stand-in's ReadPort comes in two kinds: one that blocks for the port's read
  time-out when no data waits (200 ms plus 1 ms per byte asked for, as the monitor sets them),
  as a serial port's does, and one that returns ERROR_COUNTER_TIMEOUT at once, as some port
  monitors do. A printer that "prints slowly" queues its print cycle that long after the page end.
- \`build/native/core_bench\` (\`bench/native/\`, Google Benchmark, -O2): the scanner over jobs
  that qxlmkjob's own writer makes, fed in 4096-byte pieces as WritePort gets them, timed in
  turns with memcpy of the same bytes in the same pieces; medians of 5 repetitions.
- The long plain job ran at $(grep -o 'A [0-9]* MB job' "$work/timing.md" | head -1 | sed 's/A //;s/ job//'). \`make bench\` alone runs 32 MB;
  \`make bench BENCH_ARGS="--flat-mb 1024"\` runs the full 1 GB job (about 11 minutes here under
  Wine: every 4096-byte write sends a progress notification to the application).
  \`qxltiming.exe --help\` lists the sections, each run in a process of its own.${reran:+
- Ended inside Wine on the first try (status 3) and run again:$reran.}

METHOD
    cat "$work/results.md"
    cat "$here/reading.md"
} >"$out"
echo "bench: wrote $out"
[ "$timing_status" = 0 ] && [ "$core_status" = 0 ]
