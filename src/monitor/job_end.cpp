// EndDocPort: prints a spooled multi-copy job, closes the link to the status
// monitor application and releases everything the job held.
#include <windows.h>

#include "monitor/job_end.h"
#include "monitor/monitor_ops.h"
#include "monitor/process_state.h"
#include "statmon/notify.h"
#include "stream/segment_list.h"
#include "stream/transmit.h"
#include "stream/write_path.h"

namespace {

// Bounds on the waits for other parties: the application is expected to exit
// at once after the job end, and the connect thread and the port's other users
// within moments. A party that does not is left behind rather than holding the
// spooler's thread for ever.
constexpr DWORD APPLICATION_EXIT_WAIT_MS = 15000;
constexpr DWORD CONNECT_THREAD_WAIT_MS = 10000;
constexpr DWORD PORT_MUTEX_WAIT_MS = 10000;

void CloseAndClear(Handle& handle) {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

void EndStatusMonitor(PortSession& session) {
    if (session.monitorProcess != nullptr) {
        if (!(session.flags & PSF_STOPPED)) {
            SendNotify(session, NotifyJobEnd);
            session.flags |= PSF_RESET_ON_STOP;
            SendResetSequence(session);
        }
        WaitForSingleObject(session.monitorProcess, APPLICATION_EXIT_WAIT_MS);
        CloseAndClear(session.monitorProcess);
    }
    if (session.connectWindow != nullptr) {
        PostMessageA(static_cast<HWND>(session.connectWindow), WM_CLOSE, 0, 0);
        session.connectWindow = nullptr;
    }
    if (session.connectThread != nullptr) {
        WaitForSingleObject(session.connectThread, CONNECT_THREAD_WAIT_MS);
        CloseAndClear(session.connectThread);
    }
}

}  // namespace

WinBool QXL_WINAPI EndDocPort(Handle port) {
    auto& session = *static_cast<PortSession*>(port);

    ReplaySpooledJob(session);
    FlushCarry(session);

    EndStatusMonitor(session);

    if (session.portMutex != nullptr) {
        // Own it first, so that no status read or pass-through request is using the port.
        DWORD wait = WaitForSingleObject(session.portMutex, PORT_MUTEX_WAIT_MS);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(session.portMutex);
        CloseAndClear(session.portMutex);
    }

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

    session.lowerMonitor.EndDocPort(session.lowerPort);
    session.flags &= ~PSF_BUSY;
    if (session.openPortMutex != nullptr) ReleaseMutex(session.openPortMutex);
    return TRUE;
}
