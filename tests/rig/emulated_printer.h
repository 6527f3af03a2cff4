// The printer behind an emulated port: keeps every byte it receives and
// answers the port monitor's reads and control requests.
#pragma once

#include <windows.h>

#include <deque>
#include <vector>

#include "monitor/platform.h"

enum class PrinterPort { Other, Serial, Parallel, Usb, Network };

struct ControlAnswer {
    BOOL ok = FALSE;
    DWORD lastError = ERROR_NOT_SUPPORTED;
};

struct EmulatedPrinter {
    PrinterPort portKind = PrinterPort::Other;
    std::vector<u8> received;  // every byte written to the port
    std::deque<u8> toHost;     // bytes queued for ReadPort

    // Most bytes one ReadPort delivers (0: as many as asked for).
    u32 readChunk = 0;

    void receive(const u8* data, u32 size);
    // ReadPort: TRUE with the bytes, or FALSE with ERROR_COUNTER_TIMEOUT when none wait.
    BOOL read(u8* buffer, u32 size, u32* count, DWORD* error);
    ControlAnswer control(u32 controlId, const char* in, u32 inSize, char* out, u32 outSize,
                          u32* returned);
    void queue(const u8* data, u32 size);
};
