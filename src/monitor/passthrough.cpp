// ReadPort and GetPrinterDataFromPort: straight through to the port monitor
// while a job has fully started, kept apart from the monitor's own use of a
// USB port by the port mutex.
#include <windows.h>

#include "monitor/monitor_ops.h"
#include "core/port_calls.h"
#include "core/port_mutex.h"
#include "core/port_session.h"
#include "core/process_state.h"

namespace {

constexpr DWORD PASS_THROUGH_WAIT_MS = 2000;

// An owned hold of a mutex through a handle of its own: released and closed
// when it goes, the port monitor's last error kept for the caller.
struct HeldMutexKind {
    using Type = HANDLE;
    static HANDLE Empty() { return nullptr; }
    static void Close(HANDLE mutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
};
using HeldMutex = Unique<HeldMutexKind>;

// The USB port's mutex for one request, through a handle of its own taken
// under monitorLock: the job end may close the record's handle meanwhile.
// Only a clean wait lets the request through; an empty hold refuses it.
HeldMutex HoldUsbPort(PortSession& session) {
    UniqueHandle own;
    {
        MonitorLockGuard lock;
        HANDLE process = GetCurrentProcess();
        HANDLE duplicate = nullptr;
        if (session.job.portMutex == nullptr ||
            !DuplicateHandle(process, static_cast<HANDLE>(session.job.portMutex), process,
                             &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS))
            return HeldMutex();
        own.reset(duplicate);
    }
    if (TakeMutex(own.get(), PASS_THROUGH_WAIT_MS) != MutexWait::Owned) return HeldMutex();
    return HeldMutex(own.release());
}

}  // namespace

WinBool QXL_WINAPI ReadPort(Handle port, u8* buffer, u32 size, u32* read) {
    auto& session = *static_cast<PortSession*>(port);
    if (!(session.job.flags & PSF_STARTED)) {
        if (read != nullptr) *read = 0;
        return FALSE;
    }
    HeldMutex hold;
    if (session.portType == PORTTYPE_USB && !(hold = HoldUsbPort(session))) return FALSE;
    return LowerReadPort(session, buffer, size, read);
}

// Requests by value name (control id 0) are never served.
WinBool QXL_WINAPI GetPrinterDataFromPort(Handle port, u32 controlId, char* valueName,
                                          char* inBuffer, u32 inSize, char* outBuffer, u32 outSize,
                                          u32* returned) {
    auto& session = *static_cast<PortSession*>(port);
    if (!(session.job.flags & PSF_STARTED) || controlId == 0 || !session.lowerAnswersControls)
        return FALSE;
    HeldMutex hold;
    if (session.portType == PORTTYPE_USB && !(hold = HoldUsbPort(session))) return FALSE;
    return LowerGetPrinterData(session, controlId, valueName, inBuffer, inSize, outBuffer, outSize,
                               returned);
}
