// The spooler's MONITOR2 table (wide strings, a monitor handle), in the layout
// of Windows XP and later: the table this monitor hands out through
// InitializePrintMonitor2, and the port monitor's table it is given below.
#pragma once

#include "core/monitor_table.h"

struct Monitor2Table;

using WideChar = wchar_t;

using EnumPorts2Fn = WinBool(QXL_WINAPI*)(Handle monitor, WideChar* name, u32 level, u8* ports,
                                          u32 size, u32* needed, u32* returned);
using OpenPort2Fn = WinBool(QXL_WINAPI*)(Handle monitor, WideChar* portName, Handle* port);
using OpenPortEx2Fn = WinBool(QXL_WINAPI*)(Handle monitor, Handle lowerMonitorHandle,
                                           WideChar* portName, WideChar* printerName, Handle* port,
                                           Monitor2Table* lowerMonitor);
using StartDocPort2Fn = WinBool(QXL_WINAPI*)(Handle port, WideChar* printerName, u32 jobId,
                                             u32 level, u8* docInfo);
using AddPort2Fn = WinBool(QXL_WINAPI*)(Handle monitor, WideChar* name, WindowHandle window,
                                        WideChar* monitorName);
using AddPortEx2Fn = WinBool(QXL_WINAPI*)(Handle monitor, WideChar* name, u32 level, u8* portInfo,
                                          WideChar* monitorName);
using ConfigurePort2Fn = WinBool(QXL_WINAPI*)(Handle monitor, WideChar* name, WindowHandle window,
                                              WideChar* portName);
using DeletePort2Fn = WinBool(QXL_WINAPI*)(Handle monitor, WideChar* name, WindowHandle window,
                                           WideChar* portName);
// The buffers are bytes; the spooler's prototype types them as wide strings.
using GetPrinterDataFromPort2Fn = WinBool(QXL_WINAPI*)(Handle port, u32 controlId,
                                                       WideChar* valueName, WideChar* inBuffer,
                                                       u32 inSize, WideChar* outBuffer, u32 outSize,
                                                       u32* returned);
using XcvOpenPort2Fn = WinBool(QXL_WINAPI*)(Handle monitor, const WideChar* object, u32 access,
                                            Handle* xcv);
using XcvDataPort2Fn = u32(QXL_WINAPI*)(Handle xcv, const WideChar* dataName, u8* in, u32 inSize,
                                        u8* out, u32 outSize, u32* needed);
using XcvClosePort2Fn = WinBool(QXL_WINAPI*)(Handle xcv);
using Shutdown2Fn = void(QXL_WINAPI*)(Handle monitor);
using SendRecvBidiDataFn = u32(QXL_WINAPI*)(Handle port, u32 access, const WideChar* action,
                                            void* request, void** response);

struct Monitor2Table {
    u32 cbSize;  // bytes of the table its maker filled in
    EnumPorts2Fn EnumPorts;
    OpenPort2Fn OpenPort;
    OpenPortEx2Fn OpenPortEx;
    StartDocPort2Fn StartDocPort;
    WritePortFn WritePort;
    ReadPortFn ReadPort;
    EndDocPortFn EndDocPort;
    ClosePortFn ClosePort;
    AddPort2Fn AddPort;
    AddPortEx2Fn AddPortEx;
    ConfigurePort2Fn ConfigurePort;
    DeletePort2Fn DeletePort;
    GetPrinterDataFromPort2Fn GetPrinterDataFromPort;
    SetPortTimeOutsFn SetPortTimeOuts;
    XcvOpenPort2Fn XcvOpenPort;
    XcvDataPort2Fn XcvDataPort;
    XcvClosePort2Fn XcvClosePort;
    Shutdown2Fn Shutdown;
    SendRecvBidiDataFn SendRecvBidiDataFromPort;
};
