// One job from the spooler's calls to its outcome: the stand-ins set up, the
// transcript of every party, the labels, and the exit status.
#pragma once

#include <mutex>
#include <vector>

#include "core/monitor_table.h"
#include "qxlprint/live_report.h"
#include "qxlprint/print_options.h"
#include "qxlprint/transcript.h"
#include "rig/emulated_printer.h"

// Exit statuses of qxlprint.
constexpr int EXIT_PRINTED = 0;
constexpr int EXIT_FAILED = 1;  // a call failed, the job did not end in time, or the set-up failed
constexpr int EXIT_USAGE = 2;   // bad options or an unusable job file
// 3 is a crash: the rig's crash guard ends the process with it.
constexpr int EXIT_CANCELLED = 4;  // the application answered cancel
constexpr int EXIT_STOPPED = 5;    // a printer or port state stopped the job
constexpr int EXIT_DIFFERENT = 6;  // the port's bytes differ from --expect

// The job's live report while the job runs, for the watchdog that ends a job
// without an end: it reads it under the lock.
struct WatchedJob {
    std::mutex lock;
    LiveReport* live = nullptr;
};

// pageEnds: the page ends the job sends when it prints whole. expected: the
// bytes the port must receive, status requests left out (empty: not checked).
int PrintJob(const Transcript& out, MonitorTable* table, const PrintOptions& options,
             const std::vector<u8>& job, PrinterPort kind, size_t pageEnds,
             const std::vector<u8>& expected, WatchedJob& watched);
