// The status window's life: the answers it gives (by a click or by the
// policy), bringing it to the front when an answer is needed, and closing.
#include <windows.h>

#include "qxsmon/app.h"
#include "qxsmon/resource.h"
#include "qxsmon/states.h"
#include "qxsmon/trace.h"
#include "core/statmon_interface.h"

namespace {

constexpr UINT_PTR POLICY_TIMER = 1;
constexpr UINT_PTR WATCH_TIMER = 2;
constexpr UINT_PTR LINGER_TIMER = 3;
constexpr UINT WATCH_INTERVAL_MS = 1000;
// Bounds on waiting for the monitor: an instance started by hand, or left
// behind by a launch that gave up or a monitor that died, never hears of its
// job. The monitor sends the job start as soon as it finds the window, which
// it looks for this long after the launch.
constexpr DWORD JOB_START_LIMIT_MS = 10000;
// A fatal state stays readable this long; the monitor waits for the exit at the job end.
constexpr UINT STOPPED_LINGER_MS = 10000;

App* AppOf(HWND dialog) { return reinterpret_cast<App*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

void BringToFront(App& app) {
    // Topmost and flashing rather than activated: keys the user is typing
    // must not land on Continue or Cancel.
    SetWindowPos(app.dialog, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (IsIconic(app.dialog)) ShowWindow(app.dialog, SW_SHOWNOACTIVATE);
    FLASHWINFO flash = {sizeof flash, app.dialog, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

// Nobody is left to answer: say so, and close where nobody can read it.
void MonitorGone(App& app) {
    app.stateCode = 0;
    app.connectWindow = nullptr;
    EnterPhase(app, JobPhase::Stopped);
    if (app.answerByPolicy) {
        CloseSoon(app);
    } else {
        SetTimer(app.dialog, LINGER_TIMER, STOPPED_LINGER_MS, nullptr);
    }
}

void AnswerOrGone(App& app, u32 reply, JobPhase next) {
    if (Answer(app, reply, "user")) {
        EnterPhase(app, next);
    } else {
        MonitorGone(app);
    }
}

// The Cancel button, and the window's close box: while the job is live,
// closing is a cancel; the monitor takes a window that has gone as one too.
void CancelAndClose(App& app) {
    if (app.phase != JobPhase::Stopped && app.phase != JobPhase::Connecting)
        Answer(app, REPLY_CANCEL, "user");
    DestroyWindow(app.dialog);
}

void TakeCommand(App& app, int id) {
    switch (id) {
        case IDC_CONTINUE:
            if (app.phase == JobPhase::Awaiting)
                AnswerOrGone(app, REPLY_CONTINUE, JobPhase::Resuming);
            return;
        case IDC_PAUSE:
            if (app.phase == JobPhase::Paused) {
                AnswerOrGone(app, REPLY_CONTINUE, JobPhase::Printing);
            } else if (app.phase == JobPhase::Printing || app.phase == JobPhase::Waiting) {
                AnswerOrGone(app, REPLY_PAUSE, JobPhase::Paused);
            }
            return;
        case IDC_CANCEL_JOB: CancelAndClose(app); return;
        default:  // Esc and Enter: no answer by accident
            return;
    }
}

void TakeTimer(App& app, UINT_PTR timer) {
    if (timer == POLICY_TIMER) {
        KillTimer(app.dialog, POLICY_TIMER);
        if (app.phase != JobPhase::Awaiting) return;
        if (!Answer(app, REPLY_CONTINUE, "policy")) return MonitorGone(app);
        ++app.policyContinues;
        EnterPhase(app, JobPhase::Resuming);
    } else if (timer == LINGER_TIMER) {
        DestroyWindow(app.dialog);
    } else if (timer == WATCH_TIMER) {
        if (!app.jobStarted && GetTickCount() - app.startTick > JOB_START_LIMIT_MS) {
            Trace("no job start from the monitor");
            DestroyWindow(app.dialog);
        } else if (app.connectWindow != nullptr && !IsConnectWindow(app.connectWindow)) {
            Trace("connect window gone");
            DestroyWindow(app.dialog);
        }
    }
}

void InitDialog(HWND dialog, App& app) {
    app.dialog = dialog;
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&app));
    LOGFONTA font = {};
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (dialogFont != nullptr && GetObjectA(dialogFont, sizeof font, &font) != 0) {
        font.lfWeight = FW_BOLD;
        app.headlineFont = CreateFontIndirectA(&font);
        SendDlgItemMessageA(dialog, IDC_STATE, WM_SETFONT,
                            reinterpret_cast<WPARAM>(app.headlineFont), FALSE);
    }
    SetWindowTextA(dialog, Text(IDS_APP_TITLE).c_str());
    ShowPhase(app);
    SetTimer(dialog, WATCH_TIMER, WATCH_INTERVAL_MS, nullptr);
}

}  // namespace

void EnterPhase(App& app, JobPhase phase) {
    if (app.phase == JobPhase::Awaiting && phase != JobPhase::Awaiting) {
        KillTimer(app.dialog, POLICY_TIMER);
        SetWindowPos(app.dialog, HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    app.phase = phase;
    ShowPhase(app);
    ShowProgress(app);
}

void AwaitAnswer(App& app, u32 code) {
    app.stateCode = code;
    EnterPhase(app, JobPhase::Awaiting);
    BringToFront(app);
    if (!app.answerByPolicy) return;
    PolicyAnswer answer = HeadlessAnswer(
        code, app.policyContinues, {app.settings.headlessDelayMs, app.settings.headlessRetries});
    if (answer.reply == REPLY_CONTINUE) {
        SetTimer(app.dialog, POLICY_TIMER, answer.afterMs, nullptr);
    } else {
        Answer(app, REPLY_CANCEL, "policy");
        CloseSoon(app);
    }
}

void StopWithState(App& app, u32 code) {
    app.stateCode = code;
    EnterPhase(app, JobPhase::Stopped);
    if (app.answerByPolicy) {
        // The monitor has stopped the job already; the answer says what the policy decided.
        Answer(app, REPLY_CANCEL, "policy");
        CloseSoon(app);
        return;
    }
    BringToFront(app);
    SetTimer(app.dialog, LINGER_TIMER, STOPPED_LINGER_MS, nullptr);
}

// Posted, never sent: the monitor's connect thread must not wait on us.
bool Answer(App& app, u32 reply, const char* by) {
    if (IsConnectWindow(app.connectWindow) &&
        PostMessageA(app.connectWindow, WM_STATMON, static_cast<WPARAM>(reply) << 16, 0)) {
        Trace("reply %u by %s", reply, by);
        return true;
    }
    Trace("reply %u by %s not delivered: no connect window", reply, by);
    return false;
}

void CloseSoon(App& app) { PostMessageA(app.dialog, WM_APP_CLOSE, 0, 0); }

INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        InitDialog(dialog, *reinterpret_cast<App*>(lParam));
        return TRUE;
    }
    App* app = AppOf(dialog);
    if (app == nullptr) return FALSE;  // messages of the dialog's creation
    switch (message) {
        case WM_STATMON: HandleNotification(*app, static_cast<u32>(wParam), lParam); return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) TakeCommand(*app, LOWORD(wParam));
            return TRUE;
        case WM_TIMER: TakeTimer(*app, wParam); return TRUE;
        case WM_CLOSE: CancelAndClose(*app); return TRUE;
        case WM_APP_CLOSE: DestroyWindow(dialog); return TRUE;
        case WM_DESTROY:
            Trace("exit");
            PostQuitMessage(0);
            return TRUE;
        default: return FALSE;
    }
}
