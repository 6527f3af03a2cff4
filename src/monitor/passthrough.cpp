// ReadPort and GetPrinterDataFromPort: straight through to the port monitor
// while a job has fully started, kept apart from the monitor's own use of a
// USB port by the port mutex.
#include <windows.h>

#include "monitor/monitor_ops.h"
#include "monitor/port_session.h"

namespace {

constexpr DWORD PASS_THROUGH_WAIT_MS = 2000;

// Only a clean wait lets the request through. An abandoned mutex is now ours
// but the port's state is unknown: it is given back at once and the request fails.
bool TakeUsbPortMutex(PortSession& session) {
    if (session.portType != PORTTYPE_USB) return true;
    DWORD wait = WaitForSingleObject(session.portMutex, PASS_THROUGH_WAIT_MS);
    if (wait == WAIT_OBJECT_0) return true;
    if (wait == WAIT_ABANDONED) ReleaseMutex(session.portMutex);
    return false;
}

void ReleaseUsbPortMutex(PortSession& session) {
    if (session.portType == PORTTYPE_USB) ReleaseMutex(session.portMutex);
}

}  // namespace

WinBool QXL_WINAPI ReadPort(Handle port, u8* buffer, u32 size, u32* read) {
    auto* session = static_cast<PortSession*>(port);
    if (!(session->flags & PSF_STARTED) || session->lowerMonitor.ReadPort == nullptr) {
        if (read != nullptr) *read = 0;
        return FALSE;
    }
    if (!TakeUsbPortMutex(*session)) return FALSE;
    WinBool result = session->lowerMonitor.ReadPort(session->lowerPort, buffer, size, read);
    DWORD error = GetLastError();  // the port monitor's reason, not the release's
    ReleaseUsbPortMutex(*session);
    SetLastError(error);
    return result;
}

// Requests by value name (control id 0) are never served.
WinBool QXL_WINAPI GetPrinterDataFromPort(Handle port, u32 controlId, char* valueName,
                                          char* inBuffer, u32 inSize, char* outBuffer,
                                          u32 outSize, u32* returned) {
    auto* session = static_cast<PortSession*>(port);
    GetPrinterDataFromPortFn lower = session->lowerMonitor.GetPrinterDataFromPort;
    if (!(session->flags & PSF_STARTED) || controlId == 0 || lower == nullptr) return FALSE;
    if (!TakeUsbPortMutex(*session)) return FALSE;
    WinBool result = lower(session->lowerPort, controlId, valueName, inBuffer, inSize, outBuffer,
                           outSize, returned);
    DWORD error = GetLastError();
    ReleaseUsbPortMutex(*session);
    SetLastError(error);
    return result;
}
