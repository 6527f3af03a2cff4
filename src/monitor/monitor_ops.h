// The operations this monitor puts in the spooler's table, and its exports.
#pragma once

#include <windows.h>

#include "core/monitor_table.h"
#include "statmon/connect_window.h"
#include "stream/write_path.h"

extern "C" {
BOOL WINAPI InitializeMonitorEx(LPSTR registryRoot, MonitorTable* monitor);
BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
}

WinBool QXL_WINAPI OpenPortEx(char* portName, char* printerName, Handle* port,
                              MonitorTable* lowerMonitor);
WinBool QXL_WINAPI ClosePort(Handle port);
WinBool QXL_WINAPI StartDocPort(Handle port, char* printerName, u32 jobId, u32 level, u8* docInfo);
WinBool QXL_WINAPI ReadPort(Handle port, u8* buffer, u32 size, u32* read);
WinBool QXL_WINAPI EndDocPort(Handle port);
WinBool QXL_WINAPI GetPrinterDataFromPort(Handle port, u32 controlId, char* valueName,
                                          char* inBuffer, u32 inSize, char* outBuffer,
                                          u32 outSize, u32* returned);
