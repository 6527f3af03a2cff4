// The emulated printer's byte handling.
#include "rig/emulated_printer.h"

#include <algorithm>

#include "monitor/port_monitor.h"

void EmulatedPrinter::receive(const u8* data, u32 size) {
    received.insert(received.end(), data, data + size);
}

void EmulatedPrinter::queue(const u8* data, u32 size) { toHost.insert(toHost.end(), data, data + size); }

BOOL EmulatedPrinter::read(u8* buffer, u32 size, u32* count, DWORD* error) {
    u32 n = std::min<u32>(size, static_cast<u32>(toHost.size()));
    if (readChunk != 0) n = std::min(n, readChunk);
    *count = n;
    if (n == 0) {
        *error = ERROR_COUNTER_TIMEOUT_CODE;
        return FALSE;
    }
    std::copy_n(toHost.begin(), n, buffer);
    toHost.erase(toHost.begin(), toHost.begin() + n);
    return TRUE;
}

ControlAnswer EmulatedPrinter::control(u32, const char*, u32, char*, u32, u32* returned) {
    if (returned != nullptr) *returned = 0;
    return {};
}
