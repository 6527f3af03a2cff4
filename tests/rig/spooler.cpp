// The spooler stand-in.
#include "rig/spooler.h"

#include <winspool.h>
#include <winsplp.h>

#include "rig/port_status_hook.h"

#include "rig/network_monitor.h"
#include "rig/wide_text.h"

#include <algorithm>
#include <string>

void InstallCrashGuard();

namespace {
// Every test program links the spooler stand-in, so the guard comes with it.
const bool g_crashGuard = (InstallCrashGuard(), true);

// Byte-level document information at level 1, wide.
struct DocInfo1W {
    wchar_t* docName;
    wchar_t* outputFile;
    wchar_t* datatype;
};
}  // namespace

const char* EntryName(Entry entry) {
    return entry == Entry::MonitorEx ? "InitializeMonitorEx" : "InitializePrintMonitor2";
}

bool LoadMonitorDll(const char* path, LoadedMonitor& out) {
    out.module = LoadLibraryA(path);
    if (out.module == nullptr) return false;
    auto initialize = reinterpret_cast<InitializeMonitorExFn>(
        reinterpret_cast<void*>(GetProcAddress(out.module, "InitializeMonitorEx")));
    if (initialize == nullptr) return false;
    char root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\Quorvin Language Monitor";
    if (!initialize(root, &out.table)) return false;
    auto initialize2 = reinterpret_cast<InitializePrintMonitor2Fn>(
        reinterpret_cast<void*>(GetProcAddress(out.module, "InitializePrintMonitor2")));
    if (initialize2 != nullptr) {
        MONITORINIT init{};
        init.cbSize = sizeof init;
        init.bLocal = TRUE;
        out.table2 = initialize2(&init, &out.monitor2);
    }
    return true;
}

LoadedMonitor& ProgramDll() {
    static LoadedMonitor monitor;
    static bool loaded = [] {
        SetEnvironmentVariableA(
            "QXLMON_TEST_BOUNDS",
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

BOOL SpoolerPort::open(const char* portName, Monitor2Table* lower, Handle lowerMonitor,
                       const char* printerName) {
    std::wstring name = WideText(portName);
    std::wstring printer = WideText(printerName);
    return table2->OpenPortEx(monitor2, lowerMonitor, name.data(), printer.data(), &handle, lower);
}

BOOL SpoolerPort::startDoc(const char* printerName, u32 jobId, const char* docName, u32 level) {
    char datatype[] = "RAW";
    if (table2 != nullptr) {
        std::wstring printer = WideText(printerName);
        std::wstring doc = WideText(docName);
        wchar_t wideDatatype[] = L"RAW";
        DocInfo1W info{doc.data(), nullptr, wideDatatype};
        return table2->StartDocPort(handle, printer.data(), jobId, level,
                                    reinterpret_cast<u8*>(&info));
    }
    std::string printer = printerName;
    std::string doc = docName;
    DocInfo1 info{doc.data(), nullptr, datatype};
    return table->StartDocPort(handle, printer.data(), jobId, level, reinterpret_cast<u8*>(&info));
}

BOOL SpoolerPort::writeAll(const std::vector<u8>& data, u32 chunkSize, u32 maxCalls) {
    WritePortFn write = table2 != nullptr ? table2->WritePort : table->WritePort;
    std::vector<u8> buffer;
    size_t offset = 0;
    BOOL all = TRUE;
    for (u32 call = 0; offset < data.size() && call < maxCalls; ++call) {
        size_t n = std::min<size_t>(chunkSize, data.size() - offset);
        buffer.assign(data.begin() + offset, data.begin() + offset + n);
        u32 written = 0;
        BOOL ok = write(handle, buffer.data(), static_cast<u32>(n), &written);
        all = all && ok;
        if (!ok && written == 0) return FALSE;
        offset += std::min<size_t>(written, n);
    }
    return all && offset == data.size();
}

BOOL SpoolerPort::read(u8* buffer, u32 size, u32* count) {
    return (table2 != nullptr ? table2->ReadPort : table->ReadPort)(handle, buffer, size, count);
}

BOOL SpoolerPort::getData(u32 controlId, const char* valueName, void* out, u32 outSize,
                          u32* returned) {
    if (table2 != nullptr) {
        std::wstring name = WideText(valueName != nullptr ? valueName : "");
        return table2->GetPrinterDataFromPort(handle, controlId,
                                              valueName != nullptr ? name.data() : nullptr, nullptr,
                                              0, static_cast<wchar_t*>(out), outSize, returned);
    }
    std::string name = valueName != nullptr ? valueName : "";
    return table->GetPrinterDataFromPort(handle, controlId,
                                         valueName != nullptr ? name.data() : nullptr, nullptr, 0,
                                         static_cast<char*>(out), outSize, returned);
}

BOOL SpoolerPort::endDoc() {
    return (table2 != nullptr ? table2->EndDocPort : table->EndDocPort)(handle);
}

BOOL SpoolerPort::close() {
    return (table2 != nullptr ? table2->ClosePort : table->ClosePort)(handle);
}
