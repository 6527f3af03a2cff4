// The operations this monitor puts in the spooler's tables, and its exports.
#pragma once

#include <windows.h>

#include "core/monitor2_table.h"
#include "statmon/connect_window.h"
#include "stream/write_path.h"

extern "C" {
BOOL WINAPI InitializeMonitorEx(LPSTR registryRoot, MonitorTable* monitor);
// init is the spooler's MONITORINIT, which nothing here reads.
Monitor2Table* WINAPI InitializePrintMonitor2(void* init, HANDLE* monitor);
BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
}

WinBool QXL_WINAPI OpenPortEx(char* portName, char* printerName, Handle* port,
                              MonitorTable* lowerMonitor);
WinBool QXL_WINAPI ClosePort(Handle port);
WinBool QXL_WINAPI StartDocPort(Handle port, char* printerName, u32 jobId, u32 level, u8* docInfo);
WinBool QXL_WINAPI ReadPort(Handle port, u8* buffer, u32 size, u32* read);
WinBool QXL_WINAPI EndDocPort(Handle port);
WinBool QXL_WINAPI GetPrinterDataFromPort(Handle port, u32 controlId, char* valueName,
                                          char* inBuffer, u32 inSize, char* outBuffer, u32 outSize,
                                          u32* returned);

// How a port is opened below: fills the record's lowerPort, the handle every
// later call below is made with, and portMonitorHandle, the port monitor's
// own; on failure the port monitor's error is the last error.
struct LowerOpen {
    bool (*open)(void* context, PortSession& record, char* portName);
    void* context;
};
// OpenPortEx of either table: the port record under the single-byte name, the
// port opened below through openBelow and called through lowerTable from then on.
WinBool OpenPortSession(char* portName, Handle* port, const MonitorTable& lowerTable,
                        const LowerOpen& openBelow);

// The wide table's own entries (wide_ops.cpp); the rest of it is the 13-slot
// table's operations.
WinBool QXL_WINAPI OpenPortExW(Handle monitor, Handle lowerMonitorHandle, WideChar* portName,
                               WideChar* printerName, Handle* port, Monitor2Table* lowerMonitor);
WinBool QXL_WINAPI StartDocPortW(Handle port, WideChar* printerName, u32 jobId, u32 level,
                                 u8* docInfo);
WinBool QXL_WINAPI GetPrinterDataFromPortW(Handle port, u32 controlId, WideChar* valueName,
                                           WideChar* inBuffer, u32 inSize, WideChar* outBuffer,
                                           u32 outSize, u32* returned);
