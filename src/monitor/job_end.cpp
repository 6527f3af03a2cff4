// EndDocPort: prints a spooled multi-copy job, closes the link to the status
// monitor application and releases everything the job held.
#include <windows.h>

#include "monitor/job_end.h"
#include "monitor/monitor_ops.h"
#include "monitor/port_calls.h"
#include "monitor/process_state.h"
#include "monitor/trace.h"
#include "monitor/wait_bounds.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "stream/segment_list.h"
#include "stream/transmit.h"
#include "stream/write_path.h"

namespace {

void CloseAndClear(Handle& handle) {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

// The application is expected to exit at once after the job end, and the
// connect thread to end once its window is closed. A party that does not is
// left behind rather than holding the spooler's thread for ever; the connect
// window is detached first, so that nothing freed below is touched by it later.
void EndStatusMonitor(PortSession& session) {
    if (session.monitorProcess != nullptr) {
        if (!(session.flags & PSF_STOPPED)) {
            SendNotify(session, NotifyJobEnd);
            session.flags |= PSF_RESET_ON_STOP;
            SendResetSequence(session);
        }
        WaitForSingleObject(session.monitorProcess, g_waitBounds.applicationExitMs);
        CloseAndClear(session.monitorProcess);
    }
    WindowHandle window = session.connectWindow;
    if (window != nullptr) PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0);
    if (session.connectThread != nullptr) {
        WaitForSingleObject(session.connectThread, g_waitBounds.connectThreadExitMs);
        CloseAndClear(session.connectThread);
    }
    DetachConnectWindow(session, window);
    session.connectWindow = nullptr;
}

// Owned first, so that no status read or pass-through request is using the
// port. The field is cleared under monitorLock, where pass-through requests
// take their own handle to the mutex: one that still holds it after the bound
// keeps the mutex alive until it lets go.
void ClosePortMutex(PortSession& session) {
    HANDLE mutex = nullptr;
    {
        MonitorLockGuard lock;
        mutex = static_cast<HANDLE>(session.portMutex);
        session.portMutex = nullptr;
    }
    if (mutex == nullptr) return;
    DWORD wait = WaitForSingleObject(mutex, g_waitBounds.portMutexEndMs);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace

WinBool QXL_WINAPI EndDocPort(Handle port) {
    auto& session = *static_cast<PortSession*>(port);

    ReplaySpooledJob(session);
    FlushCarry(session);

    EndStatusMonitor(session);
    ClosePortMutex(session);

    ReleaseSegments(session);
    ReleasePageCopy(session);
    session.storedAhead = 0;

    FreeText(session.windowTitle);
    session.windowTitle = nullptr;
    CloseAndClear(session.replyEvent);
    FreeBlock(session.carryBuffer);
    session.carryBuffer = nullptr;
    session.carryCount = 0;

    FreeText(session.documentName);
    session.documentName = nullptr;
    FreeText(session.printerName);
    session.printerName = nullptr;
    session.flags &= ~PSF_STARTED;

    LowerEndDocPort(session);
    session.flags &= ~PSF_BUSY;
    if (session.openPortMutex != nullptr) ReleaseMutex(session.openPortMutex);
    TraceJobEnd(session);
    return TRUE;
}
