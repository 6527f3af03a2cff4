// The spooler stand-in: loads the monitor (the real DLL, or the static library
// linked in), receives its table and drives ports and jobs through it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/monitor_table.h"

using InitializeMonitorExFn = BOOL(WINAPI*)(LPSTR, MonitorTable*);

// The language monitor as the spooler holds it.
struct LoadedMonitor {
    HMODULE module = nullptr;  // null when linked in
    MonitorTable table{};
};

// LoadLibraryA + InitializeMonitorEx; false when either fails.
bool LoadMonitorDll(const char* path, LoadedMonitor& out);
// The real qxlmon.dll next to the test program, loaded once. Its long wait
// bounds are shortened for tests (QXLMON_TEST_BOUNDS) before it initialises.
LoadedMonitor& ProgramDll();

// InitializeMonitorEx of a monitor linked into the test program.
LoadedMonitor InitLinkedMonitor(InitializeMonitorExFn initialize, const char* registryRoot = "");

// Byte-level document information at level 1 (document name first).
struct DocInfo1 {
    char* docName;
    char* outputFile;
    char* datatype;
};

struct SpoolerPort {
    MonitorTable* table = nullptr;
    Handle handle = nullptr;

    BOOL open(const char* portName, MonitorTable* lower, const char* printerName = "Label");
    BOOL startDoc(const char* printerName, u32 jobId, const char* docName, u32 level = 1);
    // WritePort in chunks of chunkSize, offering again whatever was not taken.
    // Gives up after maxCalls calls; returns the calls' results ANDed.
    BOOL writeAll(const std::vector<u8>& data, u32 chunkSize, u32 maxCalls = 100000);
    BOOL endDoc();
    BOOL close();
};
