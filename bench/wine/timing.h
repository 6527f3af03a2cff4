// The timing harness's shared parts: clocks, CPU times, medians and a job
// driven through a monitor's table the way the spooler drives it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rig/job_run.h"
#include "rig/resources.h"

// Wall time, this process's CPU time and the wineserver's, in seconds. Both CPU
// clocks count in steps of 10 ms; server is negative when it cannot be read.
struct Usage {
    double wall = 0;
    double cpu = 0;
    double server = 0;
};
Usage UsageNow();
Usage operator-(const Usage& later, const Usage& earlier);

LONGLONG CounterNow();
double CounterSeconds(LONGLONG from, LONGLONG to);
double Median(std::vector<double> values);
// CPU clocks count in 10 ms steps: their figures are means over all runs, not
// medians. Mean and Max are negative for no values (Mean also when one is).
double Mean(const std::vector<double>& values);
double Max(const std::vector<double>& values);
// Seconds as milliseconds, "n/a" for a negative value.
std::string Ms(double seconds, int decimals);
// How the port monitor stand-in's ReadPort answers when no data waits, for the tables.
const char* EmptyReadsName(EmptyReads mode);
// a / b to one decimal, "n/a" when either is not a figure.
std::string Ratio(double a, double b);
// "12.3" or "n/a" for a negative value.
std::string Fixed(double value, int decimals);

// The spooler's WritePort calls carry this many bytes in every section.
constexpr u32 CHUNK = 4096;
// The pages of a job of the cost per page and of the ports at once.
constexpr int JOB_PAGES = 20;

struct Monitors {
    MonitorTable* real = nullptr;
    MonitorTable* passThrough = nullptr;  // null when qxlpassthru.dll did not load
};

struct Options {
    int runs = 5;     // repetitions whose median is reported
    int flatMb = 32;  // size of the plain job of the memory run
};

// A port of each kind the monitor tells apart, and its name for the tables.
struct PortKind {
    const char* port;
    const char* kind;
};
// The network kind only when the network port monitor stand-in registered.
std::vector<PortKind> PortKinds();

// A job written through table: a first call of one byte (the monitor starts
// the status monitor application at its first write), then calls of chunk
// bytes; writes covers every call after the first, handshakes included.
struct JobSpan {
    bool ok = false;  // every byte taken, EndDocPort succeeded
    Usage writes;
    size_t reads = 0, requests = 0;  // ReadPort and GetPrinterDataFromPort calls over writes
};
JobSpan DriveJob(MonitorTable* table, JobRun& run, const std::vector<u8>& stream, u32 chunk);

// A section's heading, with the load average of the machine at its start.
void PrintHeading(const char* title);

// The sections of the report, each a heading and a Markdown table.
bool PrintWaitCosts(const Monitors& monitors, const Options& options);
bool PrintPageCosts(const Monitors& monitors, const Options& options);
bool PrintPortsAtOnce(const Monitors& monitors, const Options& options);
bool PrintLabelsPerMinute(const Monitors& monitors, const Options& options);
bool PrintRebuildCosts(const Options& options);
bool PrintFlatMemory(const Monitors& monitors, const Options& options);
