// Polls for message boxes of a caption, records their text and presses OK.
#include "rig/message_box_watcher.h"

namespace {

struct Found {
    const char* caption;
    HWND box;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM context) {
    auto* found = reinterpret_cast<Found*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    char text[256] = {};
    char className[64] = {};
    if (processId != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
    GetWindowTextA(window, text, sizeof text);
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(text, found->caption) == 0 && lstrcmpA(className, "#32770") == 0) {
        found->box = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK TakeStaticText(HWND child, LPARAM context) {
    auto* text = reinterpret_cast<std::string*>(context);
    char className[64] = {};
    char buffer[512] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") != 0) return TRUE;
    GetWindowTextA(child, buffer, sizeof buffer);
    if (buffer[0] == '\0') return TRUE;  // the icon
    *text = buffer;
    return FALSE;
}

DWORD WINAPI Watch(LPVOID parameter) {
    auto* watcher = static_cast<MessageBoxWatcher*>(parameter);
    HWND lastBox = nullptr;
    while (!watcher->stop.load()) {
        Found found = {watcher->caption.c_str(), nullptr};
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&found));
        if (found.box != nullptr && found.box != lastBox) {
            DWORD expected = 0;
            watcher->firstSeenTick.compare_exchange_strong(expected, GetTickCount());
            std::string text;
            EnumChildWindows(found.box, TakeStaticText, reinterpret_cast<LPARAM>(&text));
            {
                std::lock_guard<std::mutex> guard(watcher->lock);
                watcher->seen.push_back(text);
            }
            lastBox = found.box;
        }
        if (found.box != nullptr && watcher->pressOk) PostMessageA(found.box, WM_COMMAND, IDOK, 0);
        Sleep(50);
    }
    return 0;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(const char* boxCaption, bool press)
    : caption(boxCaption), pressOk(press) {
    thread = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop = true;
    if (thread != nullptr) {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
}

bool MessageBoxWatcher::boxShown() {
    Found found = {caption.c_str(), nullptr};
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&found));
    return found.box != nullptr;
}

std::vector<std::string> MessageBoxWatcher::texts() {
    std::lock_guard<std::mutex> guard(lock);
    return seen;
}
