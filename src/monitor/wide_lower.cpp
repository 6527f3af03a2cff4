// The 13-slot adapters over a port monitor's MONITOR2.
#include "monitor/wide_lower.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/process_state.h"
#include "core/wide_text.h"

// The table's own definition against the driver kit's, slot for slot.
static_assert(offsetof(Monitor2Table, OpenPortEx) == offsetof(MONITOR2, pfnOpenPortEx));
static_assert(offsetof(Monitor2Table, GetPrinterDataFromPort) ==
              offsetof(MONITOR2, pfnGetPrinterDataFromPort));
static_assert(offsetof(Monitor2Table, Shutdown) == offsetof(MONITOR2, pfnShutdown));
static_assert(sizeof(Monitor2Table) ==
              offsetof(MONITOR2, pfnSendRecvBidiDataFromPort) + sizeof(void*));

namespace {

WideLowerPort& Below(Handle port) { return *static_cast<WideLowerPort*>(port); }

// The ANSI names the job start was called with are copies of the spooler's
// own, which the record holds for the call.
WinBool QXL_WINAPI StartDocBelow(Handle port, char* /*printerName*/, u32 jobId, u32 level,
                                 u8* /*docInfo*/) {
    WideLowerPort& below = Below(port);
    return below.lower.StartDocPort(below.port, below.jobPrinterName, jobId, level,
                                    below.jobDocInfo);
}

WinBool QXL_WINAPI WriteBelow(Handle port, u8* buffer, u32 size, u32* written) {
    return Below(port).lower.WritePort(Below(port).port, buffer, size, written);
}

WinBool QXL_WINAPI ReadBelow(Handle port, u8* buffer, u32 size, u32* read) {
    return Below(port).lower.ReadPort(Below(port).port, buffer, size, read);
}

WinBool QXL_WINAPI EndDocBelow(Handle port) {
    return Below(port).lower.EndDocPort(Below(port).port);
}

// Called once, by ClosePort; the record goes whatever the port monitor answers.
WinBool QXL_WINAPI CloseBelow(Handle port) {
    UniqueBlock<WideLowerPort> below(static_cast<WideLowerPort*>(port));
    if (below->lower.ClosePort == nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    return below->lower.ClosePort(below->port);
}

// The monitor's own requests name no value; a spooler's name that converted
// exactly (wide_ops.cpp) converts back to the same text.
WinBool QXL_WINAPI GetPrinterDataBelow(Handle port, u32 controlId, char* valueName, char* in,
                                       u32 inSize, char* out, u32 outSize, u32* returned) {
    UniqueBlock<WideChar> wideName(WideCopy(valueName));
    if (valueName != nullptr && !wideName) return FALSE;
    return Below(port).lower.GetPrinterDataFromPort(
        Below(port).port, controlId, wideName.get(), reinterpret_cast<WideChar*>(in), inSize,
        reinterpret_cast<WideChar*>(out), outSize, returned);
}

WinBool QXL_WINAPI SetTimeOutsBelow(Handle port, CommTimeouts* timeouts, u32 reserved) {
    return Below(port).lower.SetPortTimeOuts(Below(port).port, timeouts, reserved);
}

}  // namespace

Monitor2Table WholeMonitor2Table(const Monitor2Table& arrived) {
    Monitor2Table whole{};
    std::memcpy(&whole, &arrived, std::min<size_t>(arrived.cbSize, sizeof whole));
    whole.cbSize = sizeof whole;
    return whole;
}

MonitorTable WideLowerTable(const Monitor2Table& lower) {
    MonitorTable table{};
    // EnumPorts, OpenPort, OpenPortEx, AddPort, ConfigurePort and DeletePort
    // are never called below: the port is opened by OpenWideLowerPort.
    if (lower.StartDocPort != nullptr) table.StartDocPort = StartDocBelow;
    if (lower.WritePort != nullptr) table.WritePort = WriteBelow;
    if (lower.ReadPort != nullptr) table.ReadPort = ReadBelow;
    if (lower.EndDocPort != nullptr) table.EndDocPort = EndDocBelow;
    table.ClosePort = CloseBelow;
    if (lower.GetPrinterDataFromPort != nullptr) table.GetPrinterDataFromPort = GetPrinterDataBelow;
    if (lower.SetPortTimeOuts != nullptr) table.SetPortTimeOuts = SetTimeOutsBelow;
    return table;
}

bool OpenWideLowerPort(void* context, PortSession& record, char* /*portName*/) {
    const WideOpen& open = *static_cast<const WideOpen*>(context);
    OpenPort2Fn openPort = open.lower->OpenPort;
    if (openPort == nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    UniqueBlock<WideLowerPort> below(
        static_cast<WideLowerPort*>(AllocZeroed(sizeof(WideLowerPort))));
    if (!below) return false;
    below->lower = *open.lower;
    if (!openPort(open.lowerMonitorHandle, open.portName, &below->port)) return false;
    record.portMonitorHandle = below->port;
    record.lowerPort = below.release();  // the port record owns it from here; CloseBelow frees it
    return true;
}
