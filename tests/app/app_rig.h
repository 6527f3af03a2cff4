// The status monitor application as its tests see it: its window and what a
// person reads there, the printer driver's registry settings and the trace,
// a job run by a thread of its own so that the test can click while it
// prints, and the monitor's side of the link played by the test itself.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/platform.h"
#include "rig/driver_registry.h"
#include "rig/job_run.h"

// Polls until pred holds or timeoutMs passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = 10000);

// An application window whose title names the document; null after timeoutMs.
HWND WaitForAppWindow(const std::string& document, DWORD timeoutMs = 10000);
std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
void Click(HWND dialog, int id);
// The process that owns the window, opened for waiting on it.
HANDLE OwnerProcess(HWND window);
bool ProcessEnded(HANDLE process, DWORD timeoutMs = 0);

// A printer of the prefix's registry, its driver and the driver's settings,
// with the trace on into a fresh file; all removed again.
struct DriverSettings {
    explicit DriverSettings(const std::string& printerName);
    ~DriverSettings();
    DriverSettings(const DriverSettings&) = delete;
    DriverSettings& operator=(const DriverSettings&) = delete;

    void set(const char* value, DWORD number) { registry.setDword(value, number); }
    // The application's trace lines that contain the text.
    size_t traced(const std::string& text) const;

    DriverRegistry registry;
    const std::string& printer = registry.printer;
    std::string traceFile;
};

// A whole job on a thread of its own: StartDocPort, the stream up to holdAt,
// then, once released, the rest and EndDocPort.
struct JobThread {
    JobThread(JobRun& run, const std::string& printer, const std::string& document,
              std::vector<u8> stream, size_t holdAt = SIZE_MAX);
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    bool waitHeld(DWORD timeoutMs = 20000);
    void release();
    void join();

    JobRun& run;
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE released = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BOOL started = FALSE, written = FALSE, ended = FALSE;
    std::thread thread;
};

// The monitor's side of the link without the monitor: starts QXSMON.EXE from
// the test program's directory, finds its window as the monitor does, sends
// it notifications and their blocks, and takes its answers at a connect
// window of the monitor's class.
struct MonitorLink {
    MonitorLink();
    ~MonitorLink();
    MonitorLink(const MonitorLink&) = delete;
    MonitorLink& operator=(const MonitorLink&) = delete;

    bool launch();
    void notify(u32 code, LPARAM lParam = 0);
    // The block lives only while the message is handled, as the monitor's do.
    void notifyBlock(u32 code, const std::vector<u8>& block);
    // NotifyConnect, the job start block naming `connect`, NotifyPrinting.
    void startJob(const std::string& document, HWND connect);
    // Pumps this thread's messages until the connect window holds n replies.
    bool waitForReplies(size_t n, DWORD timeoutMs = 5000);
    std::string text(int id) const { return ItemText(appWindow, id); }

    PROCESS_INFORMATION process = {};
    HWND appWindow = nullptr;
    HWND connectWindow = nullptr;
    std::vector<u32> replies;  // reply states, in order
};

std::vector<u8> JobStartBytes(const std::string& printer, const std::string& document, u32 connect);
