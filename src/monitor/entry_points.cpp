// The exported entry points: the tables the spooler receives, and the module handle.
#include "monitor/monitor_ops.h"
#include "core/process_state.h"
#include "core/wait_bounds.h"

namespace {

// Every initialisation of either table comes here; a second one (a second
// spooler load of the same image, or the other table) keeps the lock as it is.
void InitializeMonitorOnce() {
    static volatile LONG lockReady = 0;
    if (InterlockedCompareExchange(&lockReady, 1, 0) == 0)
        InitializeCriticalSection(&g_process.monitorLock);
    LoadWaitBoundsOverride();
}

// What one InitializePrintMonitor2 made: the table it returned, which is
// also the monitor handle the spooler passes back to Shutdown.
struct MonitorLoad {
    Monitor2Table table;
};

// The spooler unloads the monitor after every port is closed; the ports and
// the lock are shared with any other load of the image and stay.
void QXL_WINAPI Shutdown(Handle monitor) { FreeBlock(monitor); }

}  // namespace

// The spooler calls this once after loading the library. The registry root is
// not used: settings are read per printer at every job start.
extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR /*registryRoot*/, MonitorTable* monitor) {
    InitializeMonitorOnce();
    *monitor = MonitorTable{};
    monitor->OpenPortEx = OpenPortEx;
    monitor->StartDocPort = StartDocPort;
    monitor->WritePort = WritePort;
    monitor->ReadPort = ReadPort;
    monitor->EndDocPort = EndDocPort;
    monitor->ClosePort = ClosePort;
    monitor->GetPrinterDataFromPort = GetPrinterDataFromPort;
    return TRUE;
}

// The entry point of the spooler of Windows 2000 and later (and Wine's): the
// same operations with wide names. The registry root and the spooler's
// registry functions are not used, as with InitializeMonitorEx.
extern "C" Monitor2Table* WINAPI InitializePrintMonitor2(void* /*init*/, HANDLE* monitor) {
    if (monitor == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* load = static_cast<MonitorLoad*>(AllocZeroed(sizeof(MonitorLoad)));
    if (load == nullptr) return nullptr;
    InitializeMonitorOnce();
    Monitor2Table& table = load->table;
    table.cbSize = sizeof table;
    // EnumPorts, OpenPort: a language monitor has no ports of its own.
    table.OpenPortEx = OpenPortExW;
    table.StartDocPort = StartDocPortW;
    table.WritePort = WritePort;
    table.ReadPort = ReadPort;
    table.EndDocPort = EndDocPort;
    table.ClosePort = ClosePort;
    // AddPort, AddPortEx, ConfigurePort, DeletePort: the port monitor's.
    table.GetPrinterDataFromPort = GetPrinterDataFromPortW;
    // SetPortTimeOuts: set below at every job start, not offered above.
    // XcvOpenPort, XcvDataPort, XcvClosePort: nothing to configure.
    table.Shutdown = Shutdown;
    // SendRecvBidiDataFromPort: no bidirectional requests are answered.
    *monitor = load;
    return &load->table;
}

// Nothing is torn down at detach: by then the spooler has closed every port.
extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) g_process.moduleInstance = instance;
    return TRUE;
}
