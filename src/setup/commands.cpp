// The three commands: add and remove through the spooler, status from the
// registry and the system directory.
#include <windows.h>
#include <winspool.h>

#include "core/scoped.h"
#include "setup/setup.h"
#include "setup/system_facts.h"

namespace {

constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\";

std::string Monitor(const std::string& name) { return "monitor \"" + name + "\""; }

Outcome NotElevated(const char* command) {
    return {SETUP_NOT_ELEVATED,
            std::string(command) +
                " needs administrator rights: run qxlsetup from an elevated command prompt"};
}

Outcome Failed(const char* what, DWORD error) {
    return {SETUP_FAILED, std::string(what) + " failed: " + Win32ErrorText(error)};
}

// Why the DLL that the spooler would load is not fit for it; empty when it is.
std::string DllProblem(const std::string& path) {
    switch (ProbeDll(path)) {
        case DLL_MISSING: return path + " is missing";
        case DLL_WRONG_ARCH: return path + " is not an " + kArchFolder + " DLL";
        case DLL_PRESENT: break;
    }
    return {};
}

std::string WithVersion(const std::string& path) {
    std::string version = FileVersionText(path);
    return version.empty() ? path + " (no version)" : path + " version " + version;
}

// The monitor's "Driver" value, as AddMonitor stored it. ERROR_FILE_NOT_FOUND
// when the key or the value is missing.
LONG ReadMonitorDriver(const std::string& name, std::string& driver) {
    UniqueKey key;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kMonitorsKey + name).c_str(), 0, KEY_QUERY_VALUE,
                            key.receive());
    if (rc != ERROR_SUCCESS) return rc;
    char value[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD size = MAX_PATH;
    rc = RegQueryValueExA(key.get(), "Driver", nullptr, &type, reinterpret_cast<BYTE*>(value),
                          &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    driver = value;
    if (type ==
        REG_EXPAND_SZ) {  // "%SystemRoot%\system32\qxlmon.dll", as an installer may write it
        char expanded[MAX_PATH];
        DWORD length = ExpandEnvironmentStringsA(value, expanded, sizeof expanded);
        if (length == 0 || length > sizeof expanded) return ERROR_INVALID_DATA;
        driver = expanded;
    }
    return ERROR_SUCCESS;
}

}  // namespace

// The spooler loads the DLL from the system directory only, so it must be
// there, and of this build's architecture, before AddMonitor.
Outcome AddMonitorCommand(const std::string& name) {
    if (!IsElevated()) return NotElevated("add");
    std::string dll = SystemDllPath();
    std::string problem = DllProblem(dll);
    if (!problem.empty())
        return {SETUP_NO_DLL,
                problem + ": copy qxlmon.dll from the " + kArchFolder + " folder there first"};

    std::string monitorName = name;
    std::string environment = kEnvironment;
    std::string dllName = kMonitorDll;
    MONITOR_INFO_2A info{monitorName.data(), environment.data(), dllName.data()};
    if (AddMonitorA(nullptr, 2, reinterpret_cast<BYTE*>(&info)))
        return {SETUP_DONE, Monitor(name) + " added: " + WithVersion(dll) + ", " + kEnvironment};
    DWORD error = GetLastError();
    switch (error) {
        case ERROR_PRINT_MONITOR_ALREADY_INSTALLED:
        case ERROR_ALREADY_EXISTS:
            return {SETUP_ALREADY_INSTALLED, Monitor(name) + " is already installed"};
        case ERROR_ACCESS_DENIED: return NotElevated("add");
        case ERROR_MOD_NOT_FOUND:
            return {SETUP_NO_DLL,
                    "the spooler could not load " + dll + ": " + Win32ErrorText(error)};
        case ERROR_PROC_NOT_FOUND:
            return {SETUP_FAILED,
                    "AddMonitor failed: " + Win32ErrorText(error) +
                        " (the spooler found no monitor entry point it supports in qxlmon.dll)"};
        default: return Failed("AddMonitor", error);
    }
}

// The DLL stays in the system directory: the spooler may still hold it
// loaded until it restarts.
Outcome RemoveMonitorCommand(const std::string& name) {
    if (!IsElevated()) return NotElevated("remove");
    std::string monitorName = name;
    std::string environment = kEnvironment;
    if (DeleteMonitorA(nullptr, environment.data(), monitorName.data()))
        return {SETUP_DONE, Monitor(name) + " removed; delete " + SystemDllPath() +
                                " after the spooler has restarted"};
    DWORD error = GetLastError();
    switch (error) {
        case ERROR_UNKNOWN_PRINT_MONITOR:
            return {SETUP_NOT_INSTALLED, Monitor(name) + " is not installed"};
        case ERROR_PRINT_MONITOR_IN_USE:
            return {SETUP_IN_USE, Monitor(name) +
                                      " is in use by a printer driver: remove the printers and "
                                      "drivers that use it first"};
        case ERROR_ACCESS_DENIED: return NotElevated("remove");
        default: return Failed("DeleteMonitor", error);
    }
}

// Reading HKLM needs no elevation. An installed monitor is checked against
// the file its "Driver" value names, which is what the spooler loads.
Outcome MonitorStatusCommand(const std::string& name) {
    std::string driver;
    LONG rc = ReadMonitorDriver(name, driver);
    if (rc == ERROR_FILE_NOT_FOUND) {
        std::string dll = SystemDllPath();
        std::string problem = DllProblem(dll);
        return {SETUP_NOT_INSTALLED, Monitor(name) + " is not installed; " +
                                         (problem.empty() ? WithVersion(dll) : problem)};
    }
    if (rc != ERROR_SUCCESS)
        return Failed(("reading " + std::string(kMonitorsKey) + name).c_str(), rc);

    std::string path =
        driver.find('\\') == std::string::npos ? SystemDirectory() + "\\" + driver : driver;
    std::string problem = DllProblem(path);
    if (!problem.empty()) return {SETUP_NO_DLL, Monitor(name) + " is installed, but " + problem};
    return {SETUP_DONE, Monitor(name) + " is installed: " + WithVersion(path)};
}
