// The connect thread and its hidden window, through which the status monitor
// application's replies come in.
#include <windows.h>

#include "statmon/connect_window.h"
#include "core/process_state.h"
#include "core/trace.h"
#include "statmon/launch.h"
#include "statmon/notify.h"

namespace {

// The DLL keeps its instance at load; a program with the monitor linked in has none.
HINSTANCE ConnectInstance() {
    return g_process.moduleInstance != nullptr ? g_process.moduleInstance
                                               : GetModuleHandleA(nullptr);
}

// Once per process is enough; a second registration fails and that is harmless.
void RegisterConnectClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ConnectThreadProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hIconSm = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = CONNECT_WINDOW_CLASS;
    RegisterClassExA(&windowClass);
}

// Each window answers for its own job: replies to the first of two concurrent
// jobs must not land in the record of the second. The job end detaches the
// window (DetachConnectWindow), so a reply that comes later is dropped. Read
// only under monitorLock.
PortSession* WindowSession(HWND window) {
    return reinterpret_cast<PortSession*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The phase notification a continue re-sends, 0 for none; under monitorLock.
u32 PhaseToResend(const PortSession& session) {
    if (session.job.link.phase == ShownPhase::Printing) return NotifyPrinting;
    if (session.job.link.phase == ShownPhase::Waiting) return NotifyWaiting;
    return 0;
}

// A continue re-sends the current phase, straight to the application (not a
// new notification: no repeat test, no event reset). The send is made outside
// monitorLock, so an application that hangs holds no other port; a reply the
// application sends back meanwhile re-enters here and, being later, wins. The
// record is looked up again after the send, as the job may have ended.
void TakeReply(HWND window, u32 state) {
    WindowHandle target = nullptr;
    u32 phase = 0;
    HeldTraceLine traced;
    {
        MonitorLockGuard lock;
        PortSession* session = WindowSession(window);
        if (session == nullptr) return;
        session->job.link.replyState = state;
        TraceReply(*session, state, traced);
        if (state == REPLY_CONTINUE) {
            target = session->job.link.monitorWindow;
            phase = PhaseToResend(*session);
        }
    }
    TraceWriteHeld(traced);
    if (phase != 0) SendToApplication(target, phase, 0);
    // A pause keeps a waiting writer waiting until the next reply.
    if (state == REPLY_PAUSE) return;
    MonitorLockGuard lock;
    if (PortSession* session = WindowSession(window)) SetEvent(session->job.link.replyEvent);
}

}  // namespace

unsigned long QXL_WINAPI ConnectThreadMain(void* parameter) {
    PortSession& session = *static_cast<PortSession*>(parameter);
    HINSTANCE instance = ConnectInstance();
    RegisterConnectClass(instance);
    HWND window = CreateWindowExA(0, CONNECT_WINDOW_CLASS, session.job.link.windowTitle,
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance, &session);
    session.job.link.connectWindow = window;
    if (window == nullptr) {
        // Without a window no quit message would ever end the loop below; the
        // launch sees the null window and stops the job.
        SetEvent(session.job.link.replyEvent);
        return 1;
    }
    ShowWindow(window, SW_HIDE);
    SetEvent(session.job.link.replyEvent);

    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<unsigned long>(message.wParam);
}

void DetachConnectWindow(PortSession& session, WindowHandle window) {
    MonitorLockGuard lock;
    HWND connect = static_cast<HWND>(window);
    if (window != nullptr && WindowSession(connect) == &session)
        SetWindowLongPtrA(connect, GWLP_USERDATA, 0);
}

extern "C" LRESULT CALLBACK ConnectThreadProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            auto* session =
                static_cast<PortSession*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(session));
            return 0;
        }
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_STATMON:
            // Only the high 16 bits of the 32-bit wParam carry the reply state.
            TakeReply(window, static_cast<u32>(wParam) >> 16);
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}
