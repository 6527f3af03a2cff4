// What the monitor does with a job, worked out by its own platform-free core:
// its scanner cuts, splits, takes out and edits a command stream; its rebuild
// turns a ':' spool file into the stream it sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/port_session.h"

using Bytes = std::vector<std::uint8_t>;

struct ScanSegment {
    size_t start;  // offset in the stream
    size_t length;
    SegmentKind kind;
    bool afterJobEnd;  // after the SUB: sent only when it comes in the SUB's write
};

struct ScanEdit {
    size_t offset;
    std::uint8_t before;
    std::uint8_t after;
};

struct MonitorScan {
    std::vector<ScanSegment> segments;
    std::vector<size_t> blocks;  // job information blocks taken out
    std::vector<ScanEdit> edits;
    // The bytes the monitor writes for the job, its status requests left out:
    // the segments up to the job's SUB, and the reset sequence at the job end
    // of a job without one.
    Bytes portBytes;
    size_t finished = 0;  // the rest is a command cut short, dropped at the job end
    bool resetAtJobEnd = false;
};

// The stream as one WritePort buffer, then its tail as the job end flushes it.
MonitorScan ScanAsMonitor(const Bytes& stream);

// The page ends (FF and SUB segments) a scan sends, the last one included.
size_t PageEndsSent(const MonitorScan& scan);

// 48 zero bytes and ESC @.
Bytes ResetSequence();

struct MonitorRebuild {
    bool rebuilt = false;  // false: the monitor prints nothing of the job
    Bytes stream;          // the rebuilt command stream
    Bytes image;           // the spool file as the rebuild left it (cut bits patched)
};

// Output beyond outputLimit counts as a failed write, as a full disk would.
MonitorRebuild RebuildAsMonitor(const Bytes& spool, size_t outputLimit);

// Largest rebuilt job the tools make in memory.
constexpr size_t REBUILD_OUTPUT_LIMIT = 256u << 20;

bool IsSpoolFile(const Bytes& job);

// The first thing that makes the file not a job to print, or "" when there is
// none: an empty file, a spool file that is not whole valid records, a byte
// that no command begins with, a command cut short by the end of the file, no
// page end at all.
// A spool file whose rebuilt job would pass outputLimit bytes counts as one
// the rebuild gives up on.
std::string FindProblem(const Bytes& job, size_t outputLimit = REBUILD_OUTPUT_LIMIT);

// The bytes the monitor sends for the job (status requests left out), with
// the number of page ends among them.
Bytes PortBytesOf(const Bytes& job, size_t* pageEnds, size_t outputLimit = REBUILD_OUTPUT_LIMIT);

struct PageMedia {
    std::uint8_t width = 0;  // millimetres; 0: the job has no job information block
    std::uint8_t type = 0;
    std::uint8_t extra = 0;
    std::uint16_t checkFlags = 0;  // the checks the monitor makes against the loaded media
};

// The media the job's first page asks for in its job information block (a
// spool file's from its rebuilt job).
PageMedia FirstPageMedia(const Bytes& job);
