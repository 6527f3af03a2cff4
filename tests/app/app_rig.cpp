// Helpers of the status monitor application's tests.
#include "app/app_rig.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "qxsmon/resource.h"
#include "core/statmon_interface.h"

namespace {

constexpr u32 SPOOLER_BUFFER = 512;  // a job comes in many writes, as the spooler hands it over
constexpr u32 FIRST_BLOCK_NUMBER = 0xA5000000;  // apart from the numbers the monitor makes

// The monitor's own search: the process's primary thread, no parent, not the input method's window.
BOOL CALLBACK MatchLinkWindow(HWND window, LPARAM context) {
    auto* link = reinterpret_cast<MonitorLink*>(context);
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    char className[8] = {};
    GetClassNameA(window, className, sizeof className);
    if (processId != link->process.dwProcessId || threadId != link->process.dwThreadId ||
        GetParent(window) != nullptr || lstrcmpiA(className, "IME") == 0)
        return TRUE;
    link->appWindow = window;
    return FALSE;
}

LRESULT CALLBACK ConnectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_STATMON) {
        auto* link = reinterpret_cast<MonitorLink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (link != nullptr) link->replies.push_back(static_cast<u32>(wParam) >> 16);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeConnectWindow(MonitorLink* link) {
    static const bool registered = [] {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ConnectWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = CONNECT_WINDOW_CLASS;
        return RegisterClassExA(&windowClass) != 0;
    }();
    if (!registered) return nullptr;
    HWND window = CreateWindowExA(0, CONNECT_WINDOW_CLASS, "connect", WS_OVERLAPPEDWINDOW, 0, 0, 10,
                                  10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(link));
    return window;
}

void Put(std::vector<u8>& block, size_t at, const std::string& text, size_t field) {
    std::memcpy(block.data() + at, text.data(), std::min(text.size(), field));
}

}  // namespace

bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(10);
    }
}

HWND WaitForAppWindow(const std::string& document, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window = nullptr;
                 (window = FindWindowExA(nullptr, window, STATUS_WINDOW_CLASS, nullptr)) !=
                 nullptr;) {
                if (WindowText(window).find(document) != std::string::npos) found = window;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::string WindowText(HWND window) {
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ItemText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

HANDLE OwnerProcess(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
}

bool ProcessEnded(HANDLE process, DWORD timeoutMs) {
    return process != nullptr && WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
}

DriverSettings::DriverSettings(const std::string& printerName)
    : registry(printerName, printerName + " Driver") {
    char directory[MAX_PATH], path[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    GetTempFileNameA(directory, "QXT", 0, path);
    traceFile = path;
    registry.setDriver();
    registry.setText("TraceFile", traceFile);
    set("Trace", 1);
}

DriverSettings::~DriverSettings() { DeleteFileA(traceFile.c_str()); }

size_t DriverSettings::traced(const std::string& text) const {
    std::ifstream in(traceFile, std::ios::binary);
    size_t count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.rfind("QXSMON ", 0) == 0 && line.find(text) != std::string::npos;
    return count;
}

JobThread::JobThread(JobRun& jobRun, const std::string& printer, const std::string& document,
                     std::vector<u8> stream, size_t holdAt)
    : run(jobRun) {
    thread = std::thread([this, printer, document, stream = std::move(stream), holdAt] {
        started = run.spooler.startDoc(printer.c_str(), 7, document.c_str());
        if (started) {
            size_t first = std::min(holdAt, stream.size());
            written =
                run.write(std::vector<u8>(stream.begin(), stream.begin() + first), SPOOLER_BUFFER);
            if (first < stream.size()) {
                SetEvent(held);
                WaitForSingleObject(released, 60000);  // bounded: a failed test must not hang
                written = run.write(std::vector<u8>(stream.begin() + first, stream.end()),
                                    SPOOLER_BUFFER) &&
                          written;
            }
            ended = run.end();
        }
        SetEvent(held);
    });
}

JobThread::~JobThread() {
    join();
    CloseHandle(held);
    CloseHandle(released);
}

bool JobThread::waitHeld(DWORD timeoutMs) {
    return WaitForSingleObject(held, timeoutMs) == WAIT_OBJECT_0;
}

void JobThread::release() { SetEvent(released); }

void JobThread::join() {
    release();
    if (thread.joinable()) thread.join();
}

MonitorLink::MonitorLink() { connectWindow = MakeConnectWindow(this); }

MonitorLink::~MonitorLink() {
    if (process.hProcess != nullptr) {
        if (!ProcessEnded(process.hProcess)) TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (connectWindow != nullptr) DestroyWindow(connectWindow);
}

bool MonitorLink::launch() {
    char commandLine[] = "QXSMON.EXE QX28";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    return WaitUntil([this] {
        EnumWindows(MatchLinkWindow, reinterpret_cast<LPARAM>(this));
        return appWindow != nullptr;
    });
}

void MonitorLink::notify(u32 code, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(appWindow, WM_STATMON, code, lParam, SMTO_NORMAL, 5000, &result);
}

void MonitorLink::notifyBlock(u32 code, const std::vector<u8>& block) {
    static u32 counter = 0;
    u32 number = FIRST_BLOCK_NUMBER + ++counter;
    char name[16];
    std::snprintf(name, sizeof name, BLOCK_NAME_FORMAT, static_cast<unsigned>(number));
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        static_cast<DWORD>(block.size()), name);
    if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, block.size())) {
        std::memcpy(view, block.data(), block.size());
        UnmapViewOfFile(view);
    }
    notify(code, static_cast<LPARAM>(number));
    CloseHandle(mapping);
}

void MonitorLink::startJob(const std::string& document, HWND connect) {
    notify(NotifyConnect);
    u32 handle = static_cast<u32>(reinterpret_cast<uintptr_t>(connect));
    notifyBlock(NotifyJobStart, JobStartBytes("QX Link Printer", document, handle));
    notify(NotifyPrinting);
}

bool MonitorLink::waitForReplies(size_t n, DWORD timeoutMs) {
    return WaitUntil([&] { return replies.size() >= n; }, timeoutMs);
}

std::vector<u8> JobStartBytes(const std::string& printer, const std::string& document,
                              u32 connect) {
    std::vector<u8> block(JOB_START_BLOCK_SIZE, 0);
    block[0] = 7;
    Put(block, JOB_START_PRINTER_OFFSET, printer, JOB_START_NAME_SIZE);
    Put(block, JOB_START_DOCUMENT_OFFSET, document, JOB_START_NAME_SIZE);
    std::memcpy(block.data() + JOB_START_WINDOW_OFFSET, &connect, 4);
    return block;
}
