// The calls to the port monitor underneath, and the stand-ins for its empty slots.
#include "core/port_calls.h"

#include <windows.h>

#include "core/trace.h"

namespace {

WinBool NotSupported(u32* count) {
    if (count != nullptr) *count = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

WinBool QXL_WINAPI NoOpenPort(char*, Handle*) { return NotSupported(nullptr); }
WinBool QXL_WINAPI NoStartDocPort(Handle, char*, u32, u32, u8*) { return NotSupported(nullptr); }
WinBool QXL_WINAPI NoWritePort(Handle, u8*, u32, u32* written) { return NotSupported(written); }
WinBool QXL_WINAPI NoReadPort(Handle, u8*, u32, u32* read) { return NotSupported(read); }
WinBool QXL_WINAPI NoEndDocPort(Handle) { return NotSupported(nullptr); }
WinBool QXL_WINAPI NoClosePort(Handle) { return NotSupported(nullptr); }
WinBool QXL_WINAPI NoGetPrinterData(Handle, u32, char*, char*, u32, char*, u32, u32* returned) {
    return NotSupported(returned);
}
WinBool QXL_WINAPI NothingToSet(Handle, CommTimeouts*, u32) { return TRUE; }

template <typename Fn>
void Fill(Fn& slot, Fn standIn) {
    if (slot == nullptr) slot = standIn;
}

}  // namespace

MonitorTable WholeLowerTable(const MonitorTable& arrived) {
    MonitorTable table = arrived;
    Fill(table.OpenPort, NoOpenPort);
    Fill(table.StartDocPort, NoStartDocPort);
    Fill(table.WritePort, NoWritePort);
    Fill(table.ReadPort, NoReadPort);
    Fill(table.EndDocPort, NoEndDocPort);
    Fill(table.ClosePort, NoClosePort);
    Fill(table.GetPrinterDataFromPort, NoGetPrinterData);
    Fill(table.SetPortTimeOuts, NothingToSet);
    return table;
}

bool LowerTableCanRunJobs(const MonitorTable& arrived, i16 portType) {
    if (arrived.WritePort == nullptr || arrived.ReadPort == nullptr) return false;
    bool needsControls = portType == PORTTYPE_NETWORK || portType == PORTTYPE_SERIAL;
    return !needsControls || arrived.GetPrinterDataFromPort != nullptr;
}

bool LowerOpenPort(PortSession& session, char* portName) {
    if (!session.lowerMonitor.OpenPort(portName, &session.lowerPort)) return false;
    session.portMonitorHandle = session.lowerPort;
    return true;
}

bool LowerStartDocPort(PortSession& session, char* printerName, u32 jobId, u32 level, u8* docInfo) {
    return session.lowerMonitor.StartDocPort(session.lowerPort, printerName, jobId, level,
                                             docInfo) != FALSE;
}

bool LowerSetPortTimeOuts(PortSession& session, CommTimeouts* timeouts) {
    return session.lowerMonitor.SetPortTimeOuts(session.lowerPort, timeouts, 0) != FALSE;
}

bool LowerWritePort(PortSession& session, const u8* data, u32 size, u32* written) {
    // The port monitor's prototype is not const-correct; it only reads the bytes.
    return TraceIfFailed(session, "WritePort",
                         session.lowerMonitor.WritePort(session.lowerPort, const_cast<u8*>(data),
                                                        size, written) != FALSE);
}

bool LowerReadPort(PortSession& session, u8* buffer, u32 size, u32* read) {
    return TraceIfFailed(
        session, "ReadPort",
        session.lowerMonitor.ReadPort(session.lowerPort, buffer, size, read) != FALSE);
}

bool LowerGetPrinterData(PortSession& session, u32 controlId, char* valueName, const void* in,
                         u32 inSize, void* out, u32 outSize, u32* returned) {
    return TraceIfFailed(session, "GetPrinterDataFromPort",
                         session.lowerMonitor.GetPrinterDataFromPort(
                             session.lowerPort, controlId, valueName,
                             const_cast<char*>(static_cast<const char*>(in)), inSize,
                             static_cast<char*>(out), outSize, returned) != FALSE);
}

bool LowerEndDocPort(PortSession& session) {
    return TraceIfFailed(session, "EndDocPort",
                         session.lowerMonitor.EndDocPort(session.lowerPort) != FALSE);
}

bool LowerClosePort(PortSession& session) {
    return TraceIfFailed(session, "ClosePort",
                         session.lowerMonitor.ClosePort(session.lowerPort) != FALSE);
}
