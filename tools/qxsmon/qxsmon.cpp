// Stand-in for the status monitor application: started by the monitor as
// "QXSMON.EXE QX28", it logs every notification (with its block, read while
// the message is handled), replies to the connect window by a script and
// exits at the job end. Awkward behaviours are chosen by QXSMON_MODE:
//   normal       top-level window on the primary thread
//   nowindow     no window at all
//   popup        only an owned pop-up on the primary thread (its owner lives on another thread)
//   otherthread  the top-level window belongs to a second thread
//   closeonstate closes its window at the first state notification (class 2 or 3), then exits
//   exitatonce   exits before making any window
//   neverexit    ignores the job end notification
// QXSMON_LOG names the log (one line per event, "PID TICK EVENT ...",
// appended, written at once),
// QXSMON_SCRIPT the replies and misbehaviours (see script.h), replaced by
// QXSMON_SCRIPT_<document name> where a job of that document sets one,
// QXSMON_LIFETIME (ms, default 120000) the bound after which every mode exits,
// so no stand-in outlives a test.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "qxsmon/block_log.h"
#include "qxsmon/script.h"
#include "core/statmon_interface.h"

namespace {

constexpr char WINDOW_CLASS[] = "QXSMON stand-in";
constexpr UINT_PTR LIFETIME_TIMER = 1;

struct PendingReply {
    RuleAction action;
    std::uint32_t state;
    bool send;
};

struct App {
    HANDLE log = INVALID_HANDLE_VALUE;
    std::string mode = "normal";
    std::vector<ReplyRule> rules;
    HWND window = nullptr;
    HWND connectWindow = nullptr;
    bool closing = false;
    UINT_PTR nextTimer = 100;
    std::map<UINT_PTR, PendingReply> pending;
};

App g_app;

std::string Environment(const char* name, const char* fallback) {
    char value[4096];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value) return fallback;
    return std::string(value, length);
}

// One WriteFile per line on an append handle. Wine writes to an append handle
// at the end it found before the write, so two instances writing at once can
// land on the same offset and mix their lines: a named mutex keeps each line
// whole.
HANDLE LogMutex() {
    static HANDLE mutex = CreateMutexA(nullptr, FALSE, "qxsmon-stand-in-log");
    return mutex;
}

void Log(const char* format, ...) {
    if (g_app.log == INVALID_HANDLE_VALUE) return;
    // The tick count is system-wide, so tests can time events against their own.
    std::string line =
        std::to_string(GetCurrentProcessId()) + " " + std::to_string(GetTickCount()) + " ";
    char text[8192];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    line += text;
    line += "\n";
    DWORD written = 0;
    HANDLE mutex = LogMutex();
    // An abandoned mutex is owned all the same; a wait that times out writes anyway.
    DWORD waited = mutex != nullptr ? WaitForSingleObject(mutex, 5000) : WAIT_FAILED;
    WriteFile(g_app.log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
}

constexpr UINT_PTR CLOSE_AFTER_CANCEL_TIMER = 2;

void Reply(std::uint32_t state, bool send) {
    // A user who cancels the job is done with it: the application closes soon after.
    if (state == 3 && g_app.mode != "neverexit" && g_app.window != nullptr)
        SetTimer(g_app.window, CLOSE_AFTER_CANCEL_TIMER, 500, nullptr);
    if (g_app.connectWindow == nullptr) {
        Log("reply %u skipped", state);
        return;
    }
    Log("reply %u", state);
    WPARAM wParam = static_cast<WPARAM>(state) << 16;
    // Posting is safe from inside a handler; a send waits for the connect
    // thread, which may send back to us, and that is handled while we wait.
    if (send) {
        SendMessageA(g_app.connectWindow, WM_STATMON, wParam, 0);
    } else {
        PostMessageA(g_app.connectWindow, WM_STATMON, wParam, 0);
    }
}

void HandleNotification(HWND window, std::uint32_t code, LPARAM lParam) {
    std::uint32_t number = static_cast<std::uint32_t>(lParam);
    if (CarriesBlock(code)) {
        std::vector<unsigned char> bytes;
        std::string block = ReadBlock(number, bytes);
        Log("notify 0x%08x 0x%08x %s", code, number, block.c_str());
        if (code == NotifyJobStart && bytes.size() >= 264) {
            std::uint32_t handle = 0;
            std::memcpy(&handle, bytes.data() + JOB_START_WINDOW_OFFSET, 4);
            g_app.connectWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
            // Jobs printing side by side each get the script named after their document.
            const char* name =
                reinterpret_cast<const char*>(bytes.data() + JOB_START_DOCUMENT_OFFSET);
            std::string document(name, strnlen(name, JOB_START_NAME_SIZE - 1));
            std::string own = Environment(("QXSMON_SCRIPT_" + document).c_str(), "");
            if (!own.empty()) g_app.rules = ParseScript(own);
        }
    } else {
        Log("notify 0x%08x 0x%08x", code, number);
    }

    std::uint32_t stateClass = code >> 16;
    if (g_app.mode == "closeonstate" && (stateClass == 2 || stateClass == 3) && !g_app.closing) {
        g_app.closing = true;
        Log("closing");
        PostMessageA(window, WM_CLOSE, 0, 0);
        return;
    }
    // A fatal state stops the job: the user has nothing left to answer.
    if (stateClass == 3 && g_app.mode != "neverexit")
        SetTimer(window, CLOSE_AFTER_CANCEL_TIMER, 500, nullptr);
    for (ReplyRule& rule : g_app.rules) {
        if (!RuleMatches(rule, code) || (rule.once && rule.used)) continue;
        rule.used = true;
        if (rule.action == RuleAction::Exit && rule.afterMs == 0) {
            Log("exit on 0x%08x", code);
            ExitProcess(0);
        }
        if (rule.action == RuleAction::Hang) {
            Log("hang %u", rule.hangMs);
            Sleep(rule.hangMs);
            Log("hang over");
            continue;
        }
        if (rule.afterMs == 0) {
            Reply(rule.state, rule.send);
        } else {
            UINT_PTR id = g_app.nextTimer++;
            g_app.pending[id] = {rule.action, rule.state, rule.send};
            SetTimer(window, id, rule.afterMs, nullptr);
        }
    }
    if (code == NotifyJobEnd && g_app.mode != "neverexit") PostMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_STATMON:
            HandleNotification(window, static_cast<std::uint32_t>(wParam), lParam);
            return 0;
        case WM_TIMER: {
            if (wParam == CLOSE_AFTER_CANCEL_TIMER) {
                KillTimer(window, wParam);
                Log("closing after cancel");
                PostMessageA(window, WM_CLOSE, 0, 0);
                return 0;
            }
            auto found = g_app.pending.find(wParam);
            if (found == g_app.pending.end()) break;
            KillTimer(window, wParam);
            PendingReply reply = found->second;
            g_app.pending.erase(found);
            if (reply.action == RuleAction::Exit) {
                Log("exit");
                ExitProcess(0);
            }
            Reply(reply.state, reply.send);
            return 0;
        }
        case WM_DESTROY:
            if (window == g_app.window) {
                Log("window closed");
                PostQuitMessage(0);
            }
            return 0;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(DWORD style, HWND owner, int show) {
    HWND window = CreateWindowExA(0, WINDOW_CLASS, "QXSMON", style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  320, 200, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window != nullptr) ShowWindow(window, show);
    return window;
}

DWORD WINAPI OtherThreadWindow(LPVOID ready) {
    HWND window = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, SW_SHOWNOACTIVATE);
    Log("other thread window 0x%08x thread %lu",
        static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)), GetCurrentThreadId());
    *static_cast<HWND*>(ready) = window;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

// A top-level window on a second thread; returned once it exists.
HWND WindowOnOtherThread() {
    HWND volatile window = nullptr;
    HANDLE thread =
        CreateThread(nullptr, 0, OtherThreadWindow, const_cast<HWND*>(&window), 0, nullptr);
    if (thread == nullptr) return nullptr;
    for (int i = 0; i < 500 && window == nullptr; ++i) Sleep(10);  // bounded: 5 s
    CloseHandle(thread);
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    std::string logPath = Environment("QXSMON_LOG", "");
    if (!logPath.empty()) {
        g_app.log = CreateFileA(logPath.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    g_app.mode = Environment("QXSMON_MODE", "normal");
    g_app.rules = ParseScript(Environment("QXSMON_SCRIPT", ""));
    DWORD lifetime = std::strtoul(Environment("QXSMON_LIFETIME", "120000").c_str(), nullptr, 0);
    Log("start mode %s thread %lu args %s", g_app.mode.c_str(), GetCurrentThreadId(), commandLine);
    if (g_app.mode == "exitatonce") {
        Log("exit");
        return 0;
    }

    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = WINDOW_CLASS;
    RegisterClassExA(&windowClass);

    if (g_app.mode == "popup") {
        HWND owner = WindowOnOtherThread();
        HWND popup = MakeWindow(WS_POPUP | WS_CAPTION, owner, SW_SHOWNOACTIVATE);
        Log("popup 0x%08x owner 0x%08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(popup)),
            static_cast<unsigned>(reinterpret_cast<uintptr_t>(owner)));
    } else if (g_app.mode == "otherthread") {
        WindowOnOtherThread();
    } else if (g_app.mode != "nowindow") {
        g_app.window = MakeWindow(WS_OVERLAPPEDWINDOW, nullptr, show);
        Log("window 0x%08x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(g_app.window)));
    }

    // A thread timer: it fires even when this thread has no window.
    UINT_PTR lifetimeTimer = SetTimer(nullptr, LIFETIME_TIMER, lifetime, nullptr);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr &&
            message.wParam == lifetimeTimer) {
            Log("lifetime over");
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    Log("exit");
    if (g_app.log != INVALID_HANDLE_VALUE) CloseHandle(g_app.log);
    ExitProcess(0);
}
