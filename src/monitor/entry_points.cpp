// The exported entry points: the table the spooler receives, and the module handle.
#include "monitor/monitor_ops.h"
#include "core/process_state.h"
#include "core/wait_bounds.h"

// The spooler calls this once after loading the library. The registry root is
// not used: settings are read per printer at every job start.
// A second call (a second spooler load of the same image) keeps the lock as it is.
extern "C" BOOL WINAPI InitializeMonitorEx(LPSTR /*registryRoot*/, MonitorTable* monitor) {
    static volatile LONG lockReady = 0;
    if (InterlockedCompareExchange(&lockReady, 1, 0) == 0)
        InitializeCriticalSection(&g_process.monitorLock);
    LoadWaitBoundsOverride();
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

// Nothing is torn down at detach: by then the spooler has closed every port.
extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) g_process.moduleInstance = instance;
    return TRUE;
}
