// The spooler stand-in.
#include "rig/spooler.h"

#include "rig/port_status_hook.h"

#include "rig/network_monitor.h"

#include <algorithm>
#include <string>

void InstallCrashGuard();

namespace {
// Every test program links the spooler stand-in, so the guard comes with it.
const bool g_crashGuard = (InstallCrashGuard(), true);
}  // namespace

bool LoadMonitorDll(const char* path, LoadedMonitor& out) {
    out.module = LoadLibraryA(path);
    if (out.module == nullptr) return false;
    auto initialize = reinterpret_cast<InitializeMonitorExFn>(
        reinterpret_cast<void*>(GetProcAddress(out.module, "InitializeMonitorEx")));
    if (initialize == nullptr) return false;
    char root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Quorvin Language Monitor";
    return initialize(root, &out.table) != FALSE;
}

LoadedMonitor& ProgramDll() {
    static LoadedMonitor monitor;
    static bool loaded = [] {
        SetEnvironmentVariableA("QXLMON_TEST_BOUNDS",
                                "notify=3000,search=4000,message=1500,exit=3000,thread=2000,mutex=2000");
        return LoadMonitorDll((ProgramDirectory() + "qxlmon.dll").c_str(), monitor) &&
               CatchSetPort(monitor.module);
    }();
    (void)loaded;
    return monitor;
}

LoadedMonitor InitLinkedMonitor(InitializeMonitorExFn initialize, const char* registryRoot) {
    LoadedMonitor monitor;
    std::string root = registryRoot != nullptr ? registryRoot : "";
    initialize(registryRoot != nullptr ? root.data() : nullptr, &monitor.table);
    return monitor;
}

BOOL SpoolerPort::open(const char* portName, MonitorTable* lower, const char* printerName) {
    std::string name = portName;
    std::string printer = printerName;
    return table->OpenPortEx(name.data(), printer.data(), &handle, lower);
}

BOOL SpoolerPort::startDoc(const char* printerName, u32 jobId, const char* docName, u32 level) {
    std::string printer = printerName;
    std::string doc = docName;
    char datatype[] = "RAW";
    DocInfo1 info{doc.data(), nullptr, datatype};
    return table->StartDocPort(handle, printer.data(), jobId, level, reinterpret_cast<u8*>(&info));
}

BOOL SpoolerPort::writeAll(const std::vector<u8>& data, u32 chunkSize, u32 maxCalls) {
    std::vector<u8> buffer;
    size_t offset = 0;
    BOOL all = TRUE;
    for (u32 call = 0; offset < data.size() && call < maxCalls; ++call) {
        size_t n = std::min<size_t>(chunkSize, data.size() - offset);
        buffer.assign(data.begin() + offset, data.begin() + offset + n);
        u32 written = 0;
        BOOL ok = table->WritePort(handle, buffer.data(), static_cast<u32>(n), &written);
        all = all && ok;
        if (!ok && written == 0) return FALSE;
        offset += std::min<size_t>(written, n);
    }
    return all && offset == data.size();
}

BOOL SpoolerPort::endDoc() { return table->EndDocPort(handle); }

BOOL SpoolerPort::close() { return table->ClosePort(handle); }
