// The link stand-ins of the notification and reply tests.
#include "rig/link_session.h"

#include "core/process_state.h"
#include "core/statmon_interface.h"
#include "rig/linked_monitor.h"
#include "rig/statmon_log.h"
#include "statmon/launch.h"

namespace {

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_STATMON) return DefWindowProcA(window, message, wParam, lParam);
    Received got{static_cast<u32>(wParam), static_cast<u32>(lParam), false, {}};
    // The block is read while the message is handled, as the application must.
    u32 code = static_cast<u32>(wParam);
    bool withBlock = code == NotifyJobStart || code == NotifyMediaSettings ||
                     code == NotifyProgress || code == NotifyMediaStatus;
    if (withBlock) got.blockOpened = ReadSharedBlock(static_cast<u32>(lParam), got.block);
    ReceivedNotifications().push_back(got);
    return 0;
}

}  // namespace

std::vector<Received>& ReceivedNotifications() {
    static std::vector<Received> received;
    return received;
}

Receiver::Receiver() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ReceiverProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "qxl test receiver";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "qxl test receiver", "receiver", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                             100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ReceivedNotifications().clear();
}

Receiver::~Receiver() { DestroyWindow(window); }

std::vector<u32> Receiver::codes() const {
    std::vector<u32> out;
    for (const Received& r : ReceivedNotifications()) out.push_back(r.code);
    return out;
}

LinkSession::LinkSession() {
    LinkedTable();  // the monitor's lock exists once the monitor is initialised
    s.job.link.replyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    s.job.link.replyState = REPLY_CONTINUE;
    s.job.ownerThreadId = GetCurrentThreadId();
    s.job.link.windowTitle = DuplicateText("Label - test");
}

LinkSession::~LinkSession() {
    if (s.job.link.connectWindow != nullptr)
        PostMessageA(static_cast<HWND>(s.job.link.connectWindow), WM_CLOSE, 0, 0);
    if (s.job.link.connectThread != nullptr) {
        WaitForSingleObject(s.job.link.connectThread, 10000);
        CloseHandle(s.job.link.connectThread);
    }
    CloseHandle(s.job.link.replyEvent);
    FreeText(s.job.link.windowTitle);
    FreeText(s.job.printerName);
    FreeText(s.job.documentName);
}

bool LinkSession::connect() {
    s.job.link.connectThread = CreateThread(nullptr, 0, ConnectThreadMain, &s, 0, nullptr);
    if (s.job.link.connectThread == nullptr) return false;
    if (WaitForSingleObject(s.job.link.replyEvent, 10000) != WAIT_OBJECT_0) return false;
    ResetEvent(s.job.link.replyEvent);
    return s.job.link.connectWindow != nullptr;
}

bool LinkSession::eventSet() const {
    return WaitForSingleObject(s.job.link.replyEvent, 0) == WAIT_OBJECT_0;
}

void LinkSession::reply(WPARAM wParam) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    SendMessageA(static_cast<HWND>(s.job.link.connectWindow), WM_STATMON, wParam, 0);
}
