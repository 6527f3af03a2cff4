// Whole jobs as data, for the tests of jobs that meet trouble: where the job
// prints, what goes wrong, how the application answers, and what must reach
// the port. One driver runs every case through a monitor table and fails a
// case that does not end in time instead of hanging the test program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rig/job_run.h"

// In an expected print: the reset sequence, between pages of the job.
constexpr int RESET = -1;

struct JobCase {
    std::string name;
    std::string port;
    std::string script;  // the application stand-in's script
    std::string mode = "normal";
    std::function<void(MonitorTable&)> editLower;  // the port monitor's table before the open
    // Faults set up once the port is open; what it returns lives until the job has ended.
    std::function<std::shared_ptr<void>(JobRun&)> arrange;
    std::vector<int> print;  // pages of a three-page job (0-based) and RESETs, in order
    DWORD startError = 0;    // non-zero: StartDocPort is refused with this last error
    u32 chunk = 4096;
    // Values of the driver's settings key ("Status Timeout", ...): the job
    // prints on a printer of its own name, so that no other test reads them.
    std::vector<std::pair<const char*, DWORD>> settings;
    u32 trailingNuls = 0;  // NULs after the last page end: they reach the port after it
    bool network = false;  // the port is the network print server's
    u32 heard = 0;         // a notification the application must have heard
};

inline std::string CaseName(const ::testing::TestParamInfo<JobCase>& info) {
    return info.param.name;
}
inline void PrintTo(const JobCase& c, std::ostream* out) { *out << c.name; }

// Runs fn on a thread of its own. A run that does not end within ms is a
// failure that cannot be recovered in-process: the program reports it and ends.
void RunBounded(const std::string& what, DWORD ms, const std::function<void()>& fn);

// Runs fn on a thread of its own; the destructor waits for it (bounded).
struct Background {
    explicit Background(std::function<void()> work);
    ~Background();
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    std::function<void()> fn;
    HANDLE thread = nullptr;
};

// The job's whole course through face; checks the bytes at the port.
void RunJobCase(const MonitorFace& face, const JobCase& c);

// The bytes a print of the built job gives: its pages and reset sequences.
std::vector<u8> ExpectedPrint(const BuiltJob& job, const std::vector<int>& print);

// A spooler thread that keeps the USB port's mutex busy through pass-through
// reads, each held about holdMs inside the port monitor, until destroyed.
struct PassThroughHog {
    PassThroughHog(JobRun& run, DWORD holdMs);
    ~PassThroughHog();
    PassThroughHog(const PassThroughHog&) = delete;
    PassThroughHog& operator=(const PassThroughHog&) = delete;

    JobRun& run;
    DWORD holdMs;
    volatile LONG stop = 0;
    DWORD threadId = 0;
    HANDLE thread = nullptr;
};
