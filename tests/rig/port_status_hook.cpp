// The SetPort recorder.
#include "rig/port_status_hook.h"

#include <winspool.h>

#include <mutex>

#include "rig/import_hook.h"

namespace {

struct Recorder {
    std::mutex mutex;
    std::vector<PortStatusCall> calls;
    SetPortAnswer answer;
    volatile LONG busy = 0;
};

Recorder& TheRecorder() {
    static Recorder recorder;
    return recorder;
}

std::string Narrow(const wchar_t* text) {
    char out[512] = {};
    if (text != nullptr)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out - 1, nullptr, nullptr);
    return out;
}

BOOL WINAPI RecordSetPort(LPWSTR server, LPWSTR port, DWORD level, LPBYTE info) {
    Recorder& recorder = TheRecorder();
    PortStatusCall call;
    call.local = server == nullptr;
    call.port = Narrow(port);
    call.level = level;
    call.tick = GetTickCount();
    if (level == 3 && info != nullptr) {
        const auto* status = reinterpret_cast<const PORT_INFO_3W*>(info);
        call.status = status->dwStatus;
        call.hasText = status->pszStatus != nullptr;
        call.text = Narrow(status->pszStatus);
        call.severity = status->dwSeverity;
    }
    SetPortAnswer answer;
    {
        std::lock_guard<std::mutex> lock(recorder.mutex);
        recorder.calls.push_back(call);
        answer = recorder.answer;
    }
    InterlockedExchange(&recorder.busy, 1);
    if (answer.delayMs != 0) Sleep(answer.delayMs);
    InterlockedExchange(&recorder.busy, 0);
    if (answer.failWith == 0) return TRUE;
    SetLastError(answer.failWith);
    return FALSE;
}

}  // namespace

bool CatchSetPort(HMODULE module) {
    static std::mutex mutex;
    static std::vector<HMODULE> caught;
    std::lock_guard<std::mutex> lock(mutex);
    for (HMODULE done : caught)
        if (done == module) return true;
    // Kept for the life of the process: the monitor may call it at any time.
    auto* hook =
        new ImportHook(module, "winspool.drv", "SetPortW", reinterpret_cast<void*>(RecordSetPort));
    if (!hook->installed()) {
        delete hook;
        return false;
    }
    caught.push_back(module);
    SetEnvironmentVariableA("QXLMON_TEST_SETPORT", "1");
    return true;
}

SetPortAnswerScope::SetPortAnswerScope(SetPortAnswer answer) {
    std::lock_guard<std::mutex> lock(TheRecorder().mutex);
    TheRecorder().answer = answer;
}

SetPortAnswerScope::~SetPortAnswerScope() {
    std::lock_guard<std::mutex> lock(TheRecorder().mutex);
    TheRecorder().answer = SetPortAnswer{};
}

std::vector<PortStatusCall> SetPortCalls(const std::string& port) {
    std::lock_guard<std::mutex> lock(TheRecorder().mutex);
    std::vector<PortStatusCall> out;
    for (const PortStatusCall& call : TheRecorder().calls)
        if (call.port == port) out.push_back(call);
    return out;
}

bool SetPortBusy() { return InterlockedCompareExchange(&TheRecorder().busy, 0, 0) != 0; }
