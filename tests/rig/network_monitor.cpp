// Registration of the network port monitor stand-in.
#include "rig/network_monitor.h"

#include <windows.h>

std::string ProgramDirectory() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

bool RegisterNetworkPortMonitor(const std::string& dllPath) {
    static bool done = false;
    if (done) return true;
    std::string driver = dllPath.empty() ? ProgramDirectory() + "nxportmon.dll" : dllPath;
    HKEY key;
    LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                              "System\\CurrentControlSet\\Control\\Print\\Monitors\\"
                              "Quorvin NX-4400 Port",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return false;
    rc = RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver.c_str()),
                        static_cast<DWORD>(driver.size() + 1));
    RegCloseKey(key);
    done = rc == ERROR_SUCCESS;
    return done;
}

void SetNetworkPorts(const std::string& ports) {
    SetEnvironmentVariableA("QXL_NX_PORTS", ports.c_str());
}

void SetNetworkEnumFails(bool fail) { SetEnvironmentVariableA("QXL_NX_FAIL", fail ? "1" : "0"); }
