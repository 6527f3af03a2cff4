// The spooler's 13-slot operation table (single-byte strings), used both for the
// table this monitor hands out and for the port monitor's table it calls below.
#pragma once

#include "core/platform.h"

struct CommTimeouts {  // layout of Win32 COMMTIMEOUTS
    u32 readIntervalTimeout;
    u32 readTotalTimeoutMultiplier;
    u32 readTotalTimeoutConstant;
    u32 writeTotalTimeoutMultiplier;
    u32 writeTotalTimeoutConstant;
};

struct MonitorTable;

using EnumPortsFn = WinBool(QXL_WINAPI*)(char* name, u32 level, u8* ports, u32 size, u32* needed,
                                         u32* returned);
using OpenPortFn = WinBool(QXL_WINAPI*)(char* portName, Handle* port);
using OpenPortExFn = WinBool(QXL_WINAPI*)(char* portName, char* printerName, Handle* port,
                                          MonitorTable* lowerMonitor);
using StartDocPortFn = WinBool(QXL_WINAPI*)(Handle port, char* printerName, u32 jobId, u32 level,
                                            u8* docInfo);
using WritePortFn = WinBool(QXL_WINAPI*)(Handle port, u8* buffer, u32 size, u32* written);
using ReadPortFn = WinBool(QXL_WINAPI*)(Handle port, u8* buffer, u32 size, u32* read);
using EndDocPortFn = WinBool(QXL_WINAPI*)(Handle port);
using ClosePortFn = WinBool(QXL_WINAPI*)(Handle port);
using AddPortFn = WinBool(QXL_WINAPI*)(char* name, WindowHandle window, char* monitorName);
using ConfigurePortFn = WinBool(QXL_WINAPI*)(char* name, WindowHandle window, char* portName);
using DeletePortFn = WinBool(QXL_WINAPI*)(char* name, WindowHandle window, char* portName);
using GetPrinterDataFromPortFn = WinBool(QXL_WINAPI*)(Handle port, u32 controlId, char* valueName,
                                                      char* inBuffer, u32 inSize, char* outBuffer,
                                                      u32 outSize, u32* returned);
using SetPortTimeOutsFn = WinBool(QXL_WINAPI*)(Handle port, CommTimeouts* timeouts, u32 reserved);

struct MonitorTable {
    EnumPortsFn EnumPorts;                            // 0
    OpenPortFn OpenPort;                              // 1
    OpenPortExFn OpenPortEx;                          // 2
    StartDocPortFn StartDocPort;                      // 3
    WritePortFn WritePort;                            // 4
    ReadPortFn ReadPort;                              // 5
    EndDocPortFn EndDocPort;                          // 6
    ClosePortFn ClosePort;                            // 7
    AddPortFn AddPort;                                // 8
    ConfigurePortFn ConfigurePort;                    // 9
    DeletePortFn DeletePort;                          // 10
    GetPrinterDataFromPortFn GetPrinterDataFromPort;  // 11
    SetPortTimeOutsFn SetPortTimeOuts;                // 12
};

constexpr int MONITOR_SLOT_COUNT = 13;
static_assert(sizeof(MonitorTable) == MONITOR_SLOT_COUNT * sizeof(void*));
