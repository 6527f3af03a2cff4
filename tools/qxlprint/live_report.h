// The job as it happens: a watcher thread reads the application's log and the
// port monitor's calls as they grow and writes them, merged by time, while
// the spooler's thread runs the job; the spooler's own calls are written in
// their place between them. A job that waits shows what it waits on.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "qxlprint/app_report.h"
#include "qxlprint/port_report.h"
#include "qxlprint/transcript.h"
#include "rig/fake_port_monitor.h"
#include "rig/port_status_hook.h"
#include "rig/statmon_log.h"

struct LiveReport {
    // log: the stand-in's log, or null when the product application answers;
    // page: what the job's pages ask of the media.
    LiveReport(const Transcript& out, FakePortMonitor& lower, const std::string& port,
               const StatmonEnvironment* log, const PageChecks& page);
    ~LiveReport();
    LiveReport(const LiveReport&) = delete;
    LiveReport& operator=(const LiveReport&) = delete;

    // Starts the watcher.
    void start();
    // A spooler call's line, after everything that came before it.
    void spooler(const std::string& text, const JsonLine& event);
    // Writes everything that has come so far.
    void drain();
    // After the job: waits (bounded) for the application's exit, stops the
    // watcher, writes the rest and both sides' summaries.
    void finish();
    // The last state pair either side saw, for a job that ends without an end.
    bool lastState(StateWords& state);
    unsigned long elapsed() const { return GetTickCount() - startTick_; }

    const Transcript& out;
    AppReporter app;
    PortReporter port;
    size_t portStatusCalls = 0;  // SetPort calls the monitor made for the port

private:
    static DWORD WINAPI Watch(void* context);
    void drainLocked();
    void portStatus(const PortStatusCall& call, unsigned long ms);

    FakePortMonitor& lower_;
    const std::string portName_;
    const StatmonEnvironment* log_;
    const DWORD startTick_;
    std::recursive_mutex lock_;
    size_t recordsSeen_ = 0, callsSeen_ = 0, statusesSeen_ = 0;
    bool haveState_ = false;
    StateWords lastState_{};
    HANDLE stop_ = nullptr, thread_ = nullptr;
};
