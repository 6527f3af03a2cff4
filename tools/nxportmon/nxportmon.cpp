// Stand-in for the network print server's port monitor, as the spooler loads
// it: it reports network print server ports under the monitor name
// "Quorvin NX-4400 Port" through EnumPorts at level 2.
//
// Which ports it reports comes from the environment of the process that
// enumerates: QXL_NX_PORTS (comma-separated, default "NX1"); QXL_NX_FAIL=1
// makes EnumPorts fail with ERROR_ACCESS_DENIED.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t MONITOR_NAME[] = L"Quorvin NX-4400 Port";
const wchar_t DESCRIPTION[] = L"NX-4400 network port";

std::wstring Env(const wchar_t* name, const wchar_t* fallback) {
    wchar_t value[1024];
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return (n == 0 || n >= 1024) ? std::wstring(fallback) : std::wstring(value, n);
}

std::vector<std::wstring> ReportedPorts() {
    std::vector<std::wstring> ports;
    std::wstring list = Env(L"QXL_NX_PORTS", L"NX1");
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(L',', start);
        if (comma == std::wstring::npos) comma = list.size();
        if (comma > start) ports.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    return ports;
}

BOOL WINAPI NxEnumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                        LPDWORD returned) {
    *returned = 0;
    if (Env(L"QXL_NX_FAIL", L"0") == L"1") {
        *needed = 0;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    std::vector<std::wstring> ports = ReportedPorts();
    DWORD entrySize = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    DWORD total = 0;
    for (const auto& port : ports) {
        total += entrySize + (port.size() + 1) * sizeof(wchar_t);
        if (level == 2) total += sizeof MONITOR_NAME + sizeof DESCRIPTION;
    }
    *needed = total;
    if (buffer == nullptr || size < total) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* strings = reinterpret_cast<wchar_t*>(buffer + entrySize * ports.size());
    auto put = [&strings](const wchar_t* text, size_t length) {
        wchar_t* at = strings;
        wmemcpy(at, text, length + 1);
        strings += length + 1;
        return at;
    };
    for (size_t i = 0; i < ports.size(); ++i) {
        wchar_t* name = put(ports[i].c_str(), ports[i].size());
        if (level == 1) {
            reinterpret_cast<PORT_INFO_1W*>(buffer)[i].pName = name;
        } else {
            PORT_INFO_2W& info = reinterpret_cast<PORT_INFO_2W*>(buffer)[i];
            info.pPortName = name;
            info.pMonitorName = put(MONITOR_NAME, wcslen(MONITOR_NAME));
            info.pDescription = put(DESCRIPTION, wcslen(DESCRIPTION));
            info.fPortType = PORT_TYPE_WRITE | PORT_TYPE_READ;
            info.Reserved = 0;
        }
    }
    *returned = static_cast<DWORD>(ports.size());
    return TRUE;
}

void WINAPI NxShutdown(HANDLE) {}

MONITOR2 g_table;

}  // namespace

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT, PHANDLE monitorHandle) {
    ZeroMemory(&g_table, sizeof g_table);
    g_table.cbSize = sizeof g_table;
    g_table.pfnEnumPorts = NxEnumPorts;
    g_table.pfnShutdown = NxShutdown;
    *monitorHandle = reinterpret_cast<HANDLE>(&g_table);
    return &g_table;
}
