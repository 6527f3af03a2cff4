// The status test port, its recorder window and the mutex holder.
#include "rig/status_port.h"

#include "statmon/statmon_interface.h"

namespace {

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_STATMON) {
        RecordedNotifications().push_back(static_cast<u32>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI HoldMutex(void* parameter) {
    MutexHolder* holder = static_cast<MutexHolder*>(parameter);
    WaitForSingleObject(holder->mutex, INFINITE);
    SetEvent(holder->taken);
    if (holder->abandon) return 0;
    WaitForSingleObject(holder->release, INFINITE);
    ReleaseMutex(holder->mutex);
    return 0;
}

DWORD WINAPI TryMutex(void* parameter) {
    HANDLE mutex = static_cast<HANDLE>(parameter);
    DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
    return result;
}

}  // namespace

std::vector<u32>& RecordedNotifications() {
    static std::vector<u32> codes;
    return codes;
}

HWND MakeRecorderWindow() {
    static const char* kClass = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecorderProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QxlStatusRecorder";
        RegisterClassA(&wc);
        return "QxlStatusRecorder";
    }();
    return CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

StatusPort::StatusPort(const std::string& name, i16 portType, u32 timeout) : port(name) {
    session = port.session();
    session->portType = portType;
    session->portMutex = CreateMutexA(nullptr, FALSE, nullptr);
    session->statusTimeout = timeout;
    session->printTimeout = timeout;
    session->pollTimeout = static_cast<i32>(timeout);
    window = MakeRecorderWindow();
    session->monitorWindow = window;
    RecordedNotifications().clear();
    static const PrinterPort kinds[] = {PrinterPort::Other, PrinterPort::Serial, PrinterPort::Other,
                                        PrinterPort::Parallel, PrinterPort::Usb, PrinterPort::Network};
    if (portType >= 0 && portType <= PORTTYPE_NETWORK) printer().portKind = kinds[portType];
}

StatusPort::~StatusPort() {
    CloseHandle(static_cast<HANDLE>(session->portMutex));
    session->portMutex = nullptr;
    session->monitorWindow = nullptr;
    DestroyWindow(window);
}

void StatusPort::write(const std::vector<u8>& bytes) {
    u32 written = 0;
    session->lowerMonitor.WritePort(session->lowerPort, const_cast<u8*>(bytes.data()),
                                    static_cast<u32>(bytes.size()), &written);
}

MutexHolder::MutexHolder(HANDLE m, bool abandonIt) : mutex(m), abandon(abandonIt) {
    thread = CreateThread(nullptr, 0, HoldMutex, this, 0, nullptr);
    WaitForSingleObject(taken, 5000);
    if (abandon) WaitForSingleObject(thread, 5000);
}

MutexHolder::~MutexHolder() {
    SetEvent(release);
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    CloseHandle(taken);
    CloseHandle(release);
}

bool MutexIsFree(HANDLE mutex) {
    HANDLE thread = CreateThread(nullptr, 0, TryMutex, mutex, 0, nullptr);
    WaitForSingleObject(thread, 5000);
    DWORD result = 0;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    return result == WAIT_OBJECT_0;
}
