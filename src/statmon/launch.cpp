// Starting the status monitor application, finding its window, and waiting
// for its replies.
#include "statmon/launch.h"

#include <windows.h>

#include <cstdio>

#include "core/ticks.h"
#include "core/trace.h"
#include "core/wait_bounds.h"
#include "statmon/notify.h"

namespace {

constexpr DWORD SEARCH_INTERVAL_MS = 200;
constexpr DWORD REPLY_CHECK_MS = 1000;
constexpr DWORD MESSAGE_CLOSE_WAIT_MS = 5000;

DWORD WINAPI MessageBoxThread(LPVOID) {
    MessageBoxA(nullptr, LAUNCH_FAILURE_TEXT, LAUNCH_FAILURE_CAPTION, MB_OK);
    return 0;
}

BOOL CALLBACK PressOk(HWND window, LPARAM) {
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// Modal and without an owner, on a thread of its own: where the spooler runs
// as a service nobody may ever see it, so the job waits for the user's OK for
// a bounded time only and then closes the box itself.
void ShowLaunchFailure() {
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, MessageBoxThread, nullptr, 0, &threadId);
    if (thread == nullptr) return;
    if (WaitForSingleObject(thread, g_waitBounds.launchMessageMs) == WAIT_TIMEOUT) {
        EnumThreadWindows(threadId, PressOk, 0);
        WaitForSingleObject(thread, MESSAGE_CLOSE_WAIT_MS);
    }
    CloseHandle(thread);
}

LaunchResult StopWithMessage(PortSession& session) {
    TraceJobStopped(session, "QXSMON.EXE cannot be started or shows no window");
    session.job.flags |= PSF_STOPPED;
    ShowLaunchFailure();
    return LAUNCH_DROPPED;
}

bool StartApplication(PortSession& session) {
    char commandLine[32];
    std::snprintf(commandLine, sizeof commandLine, STATMON_COMMAND_FORMAT, STATMON_EXECUTABLE);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION started = {};
    // No application name: the first word of the command line is looked up in
    // the usual order (the spooler's directory, the system directories, PATH).
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &started)) {
        return false;
    }
    CloseHandle(started.hThread);
    if (started.dwProcessId == 0) {
        CloseHandle(started.hProcess);
        return false;
    }
    session.job.link.monitorProcessId = started.dwProcessId;
    session.job.link.monitorThreadId = started.dwThreadId;
    session.job.link.monitorProcess = started.hProcess;  // the record owns it until the job end
    return true;
}

}  // namespace

LaunchResult LaunchStatusMonitor(PortSession& session) {
    session.job.link.connectThread =
        CreateThread(nullptr, 0, ConnectThreadMain, &session, 0, nullptr);
    if (session.job.link.connectThread == nullptr) {
        session.job.flags |= PSF_STOPPED;
        return LAUNCH_NO_THREAD;
    }
    // The thread sets replyEvent once its window exists; it also ends at once
    // when no window can be made, which must not leave this wait hanging.
    HANDLE started[2] = {session.job.link.replyEvent, session.job.link.connectThread};
    WaitForMultipleObjects(2, started, FALSE, INFINITE);
    ResetEvent(session.job.link.replyEvent);
    if (session.job.link.connectWindow == nullptr) {
        session.job.flags |= PSF_STOPPED;
        return LAUNCH_NO_THREAD;
    }

    if (!StartApplication(session)) return StopWithMessage(session);

    // Bounded: the application has 10 s to show its window.
    u32 searchStart = TickNow();
    for (;;) {
        Sleep(SEARCH_INTERVAL_MS);
        if (FindMonitorWindow(session) != nullptr) break;
        if (DeadlinePassed(searchStart, g_waitBounds.windowSearchMs))
            return StopWithMessage(session);
    }
    Sleep(SEARCH_INTERVAL_MS);

    // A fresh application has seen nothing yet, so nothing it is sent can be a
    // repeat of what an earlier job's application was told.
    session.job.link.lastNotifyCode = 0;
    if (SendNotify(session, NotifyConnect) && SendJobStart(session)) {
        session.job.flags &= ~PSF_LAUNCH_STATMON;
        if (SendNotify(session, NotifyPrinting)) return LAUNCH_LINKED;
    }
    session.job.flags |= PSF_STOPPED;
    return LAUNCH_DROPPED;
}

bool WaitForReply(PortSession& session, u32& state) {
    // Bounded by the application's window: its disappearance is a cancel.
    for (;;) {
        DWORD waited = WaitForSingleObject(session.job.link.replyEvent, REPLY_CHECK_MS);
        if (waited == WAIT_OBJECT_0) {
            state = GetReplyState(session);
            return true;
        }
        if (!IsWindow(static_cast<HWND>(session.job.link.monitorWindow))) {
            state = REPLY_CANCEL;
            return true;
        }
        // A wait that fails returns at once; keep the one-second rhythm.
        if (waited == WAIT_FAILED) Sleep(REPLY_CHECK_MS);
    }
}
