// The spooler stand-in: loads the monitor (the real DLL, or the static library
// linked in), receives its tables and drives ports and jobs through either.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/monitor2_table.h"

using InitializeMonitorExFn = BOOL(WINAPI*)(LPSTR, MonitorTable*);
using InitializePrintMonitor2Fn = Monitor2Table*(WINAPI*)(void*, HANDLE*);

// Which of the monitor's entry points a spooler uses: the 13-slot table with
// single-byte names, or the MONITOR2 table with wide names.
enum class Entry { MonitorEx, PrintMonitor2 };
const char* EntryName(Entry entry);

// The monitor as one spooler drives it: its 13-slot table, or its MONITOR2
// table and monitor handle.
struct MonitorFace {
    MonitorTable* table = nullptr;
    Monitor2Table* table2 = nullptr;
    Handle monitor2 = nullptr;
    MonitorFace(MonitorTable* t) : table(t) {}
    MonitorFace(Monitor2Table* t, Handle monitor) : table2(t), monitor2(monitor) {}
};

// The language monitor as the spooler holds it.
struct LoadedMonitor {
    HMODULE module = nullptr;  // null when linked in
    MonitorTable table{};
    // From InitializePrintMonitor2, where the DLL exports it.
    Monitor2Table* table2 = nullptr;
    Handle monitor2 = nullptr;

    MonitorFace face(Entry entry) {
        return entry == Entry::MonitorEx ? MonitorFace(&table) : MonitorFace(table2, monitor2);
    }
};

// LoadLibraryA + InitializeMonitorEx, and InitializePrintMonitor2 where the DLL
// has it; false when the load or InitializeMonitorEx fails.
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

// A port as the spooler holds it. With table2 set it goes through the MONITOR2
// table: names and document information are handed on wide, and the port
// monitor below is given as its MONITOR2 face and monitor handle.
struct SpoolerPort {
    MonitorTable* table = nullptr;
    Handle handle = nullptr;
    Monitor2Table* table2 = nullptr;
    Handle monitor2 = nullptr;

    void use(const MonitorFace& face) {
        table = face.table;
        table2 = face.table2;
        monitor2 = face.monitor2;
    }
    // Names are UTF-8; through the 13-slot table they go as they are.
    BOOL open(const char* portName, MonitorTable* lower, const char* printerName = "Label");
    BOOL open(const char* portName, Monitor2Table* lower, Handle lowerMonitor,
              const char* printerName = "Label");
    BOOL startDoc(const char* printerName, u32 jobId, const char* docName, u32 level = 1);
    // WritePort in chunks of chunkSize, offering again whatever was not taken.
    // Gives up after maxCalls calls; returns the calls' results ANDed.
    BOOL writeAll(const std::vector<u8>& data, u32 chunkSize, u32 maxCalls = 100000);
    BOOL read(u8* buffer, u32 size, u32* read);
    BOOL getData(u32 controlId, const char* valueName, void* out, u32 outSize, u32* returned);
    BOOL endDoc();
    BOOL close();
};
