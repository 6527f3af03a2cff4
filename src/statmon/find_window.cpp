// Finding the status monitor application's window by process and thread.
#include <windows.h>

#include "statmon/launch.h"

namespace {

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
    auto* session = reinterpret_cast<PortSession*>(context);
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (processId == session->monitorProcessId && threadId == session->monitorThreadId &&
        GetParent(window) == nullptr) {
        session->monitorWindow = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

WindowHandle FindMonitorWindow(PortSession& session) {
    session.monitorWindow = nullptr;
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&session));
    return session.monitorWindow;
}
