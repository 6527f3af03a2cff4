// The calls to the port monitor underneath, safe against empty slots.
#include "core/port_calls.h"

#include <windows.h>

#include "core/trace.h"

namespace {

WinBool NotSupported(PortSession& session, const char* call, u32* count) {
    if (count != nullptr) *count = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return TraceIfFailed(session, call, FALSE);
}

}  // namespace

WinBool LowerWritePort(PortSession& session, const u8* data, u32 size, u32* written) {
    WritePortFn write = session.lowerMonitor.WritePort;
    if (write == nullptr) return NotSupported(session, "WritePort", written);
    // The port monitor's prototype is not const-correct; it only reads the bytes.
    return TraceIfFailed(session, "WritePort",
                         write(session.lowerPort, const_cast<u8*>(data), size, written));
}

WinBool LowerReadPort(PortSession& session, u8* buffer, u32 size, u32* read) {
    ReadPortFn readPort = session.lowerMonitor.ReadPort;
    if (readPort == nullptr) return NotSupported(session, "ReadPort", read);
    return TraceIfFailed(session, "ReadPort", readPort(session.lowerPort, buffer, size, read));
}

WinBool LowerGetPrinterData(PortSession& session, u32 controlId, char* valueName, const void* in,
                            u32 inSize, void* out, u32 outSize, u32* returned) {
    GetPrinterDataFromPortFn request = session.lowerMonitor.GetPrinterDataFromPort;
    if (request == nullptr) return NotSupported(session, "GetPrinterDataFromPort", returned);
    return TraceIfFailed(session, "GetPrinterDataFromPort",
                         request(session.lowerPort, controlId, valueName,
                                 const_cast<char*>(static_cast<const char*>(in)), inSize,
                                 static_cast<char*>(out), outSize, returned));
}

WinBool LowerEndDocPort(PortSession& session) {
    EndDocPortFn end = session.lowerMonitor.EndDocPort;
    return end != nullptr ? TraceIfFailed(session, "EndDocPort", end(session.lowerPort))
                          : NotSupported(session, "EndDocPort", nullptr);
}

WinBool LowerClosePort(PortSession& session) {
    ClosePortFn close = session.lowerMonitor.ClosePort;
    return close != nullptr ? TraceIfFailed(session, "ClosePort", close(session.lowerPort))
                            : NotSupported(session, "ClosePort", nullptr);
}

bool LowerTableCanRunJobs(const PortSession& session) {
    const MonitorTable& table = session.lowerMonitor;
    if (table.WritePort == nullptr || table.ReadPort == nullptr) return false;
    bool needsControls = session.portType == PORTTYPE_NETWORK || session.portType == PORTTYPE_SERIAL;
    return !needsControls || table.GetPrinterDataFromPort != nullptr;
}
