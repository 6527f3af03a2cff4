// A language monitor that does nothing: InitializeMonitorEx, ConnectThreadProc
// and DllEntryPoint, as qxlmon.dll exports them, and a table that hands every
// call straight to the port monitor. The timing
// harness runs it beside the real DLL, so that the monitor's own cost is seen
// against the cost of merely moving the bytes, in the same run.
#include <windows.h>

#include "core/monitor_table.h"

namespace {

// The port as this monitor holds it: the port monitor's table and handle.
struct PassPort {
    MonitorTable lower;
    Handle port;
};

PassPort* AsPass(Handle handle) { return static_cast<PassPort*>(handle); }

WinBool QXL_WINAPI PassOpenPortEx(char* portName, char*, Handle* port, MonitorTable* lower) {
    if (lower == nullptr || lower->OpenPort == nullptr) return FALSE;
    auto* pass = static_cast<PassPort*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PassPort)));
    if (pass == nullptr) return FALSE;
    pass->lower = *lower;
    if (!lower->OpenPort(portName, &pass->port)) {
        HeapFree(GetProcessHeap(), 0, pass);
        return FALSE;
    }
    *port = pass;
    return TRUE;
}

WinBool QXL_WINAPI PassStartDocPort(Handle port, char* printer, u32 jobId, u32 level, u8* info) {
    return AsPass(port)->lower.StartDocPort(AsPass(port)->port, printer, jobId, level, info);
}

WinBool QXL_WINAPI PassWritePort(Handle port, u8* buffer, u32 size, u32* written) {
    return AsPass(port)->lower.WritePort(AsPass(port)->port, buffer, size, written);
}

WinBool QXL_WINAPI PassReadPort(Handle port, u8* buffer, u32 size, u32* read) {
    return AsPass(port)->lower.ReadPort(AsPass(port)->port, buffer, size, read);
}

WinBool QXL_WINAPI PassEndDocPort(Handle port) { return AsPass(port)->lower.EndDocPort(AsPass(port)->port); }

WinBool QXL_WINAPI PassClosePort(Handle port) {
    PassPort* pass = AsPass(port);
    BOOL closed = pass->lower.ClosePort(pass->port);
    HeapFree(GetProcessHeap(), 0, pass);
    return closed;
}

WinBool QXL_WINAPI PassGetPrinterData(Handle port, u32 controlId, char* valueName, char* in, u32 inSize,
                                      char* out, u32 outSize, u32* returned) {
    PassPort* pass = AsPass(port);
    if (pass->lower.GetPrinterDataFromPort == nullptr) return FALSE;
    return pass->lower.GetPrinterDataFromPort(pass->port, controlId, valueName, in, inSize, out, outSize,
                                              returned);
}

}  // namespace

extern "C" {

BOOL WINAPI InitializeMonitorEx(LPSTR, MonitorTable* table) {
    if (table == nullptr) return FALSE;
    *table = MonitorTable{};
    table->OpenPortEx = PassOpenPortEx;
    table->StartDocPort = PassStartDocPort;
    table->WritePort = PassWritePort;
    table->ReadPort = PassReadPort;
    table->EndDocPort = PassEndDocPort;
    table->ClosePort = PassClosePort;
    table->GetPrinterDataFromPort = PassGetPrinterData;
    return TRUE;
}

// Never started: this monitor makes no connect window.
LRESULT CALLBACK ConnectThreadProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL WINAPI DllEntryPoint(HINSTANCE, DWORD, LPVOID) { return TRUE; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    return DllEntryPoint(instance, reason, reserved);
}

}  // extern "C"
