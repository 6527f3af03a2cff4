// Finding the status monitor application's window by process and thread.
#include <windows.h>

#include "statmon/launch.h"

namespace {

// The system gives a thread with windows its own input method window, a
// top-level pop-up that need not have an owner; notifications sent there
// would be lost.
bool IsInputMethodWindow(HWND window) {
    char className[8] = {};
    return GetClassNameA(window, className, sizeof className) > 0 &&
           lstrcmpiA(className, "IME") == 0;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* session = reinterpret_cast<PortSession*>(context);
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (processId == session->job.link.monitorProcessId &&
        threadId == session->job.link.monitorThreadId && GetParent(window) == nullptr &&
        !IsInputMethodWindow(window)) {
        session->job.link.monitorWindow = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

WindowHandle FindMonitorWindow(PortSession& session) {
    session.job.link.monitorWindow = nullptr;
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&session));
    return session.job.link.monitorWindow;
}
