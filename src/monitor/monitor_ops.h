// The operations this monitor puts in the spooler's table, and its exports.
#pragma once

#include <windows.h>

#include "monitor/monitor_table.h"

extern "C" {
BOOL WINAPI InitializeMonitorEx(LPSTR registryRoot, MonitorTable* monitor);
BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved);
LRESULT CALLBACK ConnectThreadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}

WinBool QXL_WINAPI OpenPortEx(char* portName, char* printerName, Handle* port,
                              MonitorTable* lowerMonitor);
WinBool QXL_WINAPI ClosePort(Handle port);
WinBool QXL_WINAPI StartDocPort(Handle port, char* printerName, u32 jobId, u32 level, u8* docInfo);
WinBool QXL_WINAPI WritePort(Handle port, u8* buffer, u32 size, u32* written);
WinBool QXL_WINAPI ReadPort(Handle port, u8* buffer, u32 size, u32* read);
WinBool QXL_WINAPI EndDocPort(Handle port);
WinBool QXL_WINAPI GetPrinterDataFromPort(Handle port, u32 controlId, char* valueName,
                                          char* inBuffer, u32 inSize, char* outBuffer,
                                          u32 outSize, u32* returned);
