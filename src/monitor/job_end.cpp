// EndDocPort: prints a spooled multi-copy job, closes the link to the status
// monitor application and releases everything the job held.
#include <windows.h>

#include "monitor/job_end.h"
#include "monitor/monitor_ops.h"
#include "core/port_calls.h"
#include "core/port_mutex.h"
#include "core/process_state.h"
#include "core/scoped.h"
#include "core/trace.h"
#include "core/wait_bounds.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "status/port_status.h"
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

// Tells an application that has not heard it yet that the job has ended and
// resets the printer; then waits for the application to exit and the connect
// thread to end. The application is expected to exit at once after the job
// end, and the connect thread to end once its window is closed. A party that does not is
// left behind rather than holding the spooler's thread for ever; the connect
// window is detached first, so that nothing freed below is touched by it later.
void TellJobEndAndCloseLink(PortSession& session) {
    if (session.job.link.monitorProcess != nullptr) {
        if (!(session.job.flags & PSF_STOPPED)) {
            SendNotify(session, NotifyJobEnd);
            session.job.flags |= PSF_RESET_ON_STOP;
            SendResetSequence(session);
        }
        WaitForSingleObject(session.job.link.monitorProcess, g_waitBounds.applicationExitMs);
        CloseAndClear(session.job.link.monitorProcess);
    }
    WindowHandle window = session.job.link.connectWindow;
    if (window != nullptr) PostMessageA(static_cast<HWND>(window), WM_CLOSE, 0, 0);
    if (session.job.link.connectThread != nullptr) {
        WaitForSingleObject(session.job.link.connectThread, g_waitBounds.connectThreadExitMs);
        CloseAndClear(session.job.link.connectThread);
    }
    DetachConnectWindow(session, window);
    session.job.link.connectWindow = nullptr;
}

// Owned first, so that no status read or pass-through request is using the
// port. The field is cleared under monitorLock, where pass-through requests
// take their own handle to the mutex: one that still holds it after the bound
// keeps the mutex alive until it lets go.
void ClosePortMutex(PortSession& session) {
    HANDLE mutex = nullptr;
    {
        MonitorLockGuard lock;
        mutex = static_cast<HANDLE>(session.job.portMutex);
        session.job.portMutex = nullptr;
    }
    if (mutex == nullptr) return;
    if (TakeMutex(mutex, g_waitBounds.portMutexEndMs) == MutexWait::Owned) ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace

void ReleaseJob(PortSession& session, bool ownsOpenPortMutex) {
    KeepLastError keep;
    JobRecord& job = session.job;
    ClosePortMutex(session);
    ReleaseSegments(session);
    ReleasePageCopy(session);
    job.data.storedAhead = 0;
    FreeBlock(job.data.carryBuffer);
    job.data.carryBuffer = nullptr;
    job.data.carryCount = 0;
    FreeText(job.link.windowTitle);
    job.link.windowTitle = nullptr;
    CloseAndClear(job.link.replyEvent);
    FreeText(job.documentName);
    job.documentName = nullptr;
    FreeText(job.printerName);
    job.printerName = nullptr;
    job.flags &= ~PSF_STARTED;

    LowerEndDocPort(session);
    job.flags &= ~PSF_BUSY;
    if (ownsOpenPortMutex && session.openPortMutex != nullptr) ReleaseMutex(session.openPortMutex);
}

// The named mutex is released whether or not the job's start got it: a
// release of a mutex this thread does not own fails and changes nothing.
WinBool QXL_WINAPI EndDocPort(Handle port) {
    auto& session = *static_cast<PortSession*>(port);
    ReplaySpooledJob(session);
    FlushCarry(session);
    TellJobEndAndCloseLink(session);
    ReleaseJob(session, true);
    EndPortState(session);
    TraceJobEnd(session);
    return TRUE;
}
