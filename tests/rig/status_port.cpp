// The status test port and its recorder window.
#include "rig/status_port.h"

#include "core/statmon_interface.h"

namespace {

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_STATMON) {
        RecordedNotifications().push_back(static_cast<u32>(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

u32 g_tickOffset = 0;
u32 OffsetTicks() { return GetTickCount() + g_tickOffset; }

}  // namespace

TicksNearWrap::TicksNearWrap() : old(SetTickSource(OffsetTicks)) {}
TicksNearWrap::~TicksNearWrap() { SetTickSource(old); }
void TicksNearWrap::wrapIn(u32 milliseconds) {
    g_tickOffset = 0xFFFFFFFFu - milliseconds - GetTickCount();
}

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
    session->job.portMutex = CreateMutexA(nullptr, FALSE, nullptr);
    session->job.status.statusTimeout = timeout;
    session->job.status.printTimeout = timeout;
    session->job.status.pollTimeout = static_cast<i32>(timeout);
    session->job.status.staleStatusPossible = true;  // as at a job's start
    window = MakeRecorderWindow();
    session->job.link.monitorWindow = window;
    RecordedNotifications().clear();
    static const PrinterPort kinds[] = {PrinterPort::Other, PrinterPort::Serial,
                                        PrinterPort::Other, PrinterPort::Parallel,
                                        PrinterPort::Usb,   PrinterPort::Network};
    if (portType >= 0 && portType <= PORTTYPE_NETWORK) printer().portKind = kinds[portType];
}

StatusPort::~StatusPort() {
    CloseHandle(static_cast<HANDLE>(session->job.portMutex));
    session->job.portMutex = nullptr;
    session->job.link.monitorWindow = nullptr;
    DestroyWindow(window);
}

void StatusPort::write(const std::vector<u8>& bytes) {
    u32 written = 0;
    session->lowerMonitor.WritePort(session->lowerPort, const_cast<u8*>(bytes.data()),
                                    static_cast<u32>(bytes.size()), &written);
}
