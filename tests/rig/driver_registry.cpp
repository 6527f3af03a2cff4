// The printer's and the driver's registry entries for job start tests.
#include "rig/driver_registry.h"

namespace {

constexpr char PRINTERS[] = "System\\CurrentControlSet\\control\\Print\\Printers\\";
constexpr char SETTINGS[] = "SOFTWARE\\Quorvin\\Tavrik\\Driver\\3.0\\";

}  // namespace

DriverRegistry::DriverRegistry(std::string printerName, std::string driverName)
    : printer(std::move(printerName)), driver(std::move(driverName)) {}

DriverRegistry::~DriverRegistry() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (PRINTERS + printer).c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (SETTINGS + driver).c_str());
    // The parents go too when nothing else lives under them.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvin\\Tavrik\\Driver\\3.0");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvin\\Tavrik\\Driver");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvin\\Tavrik");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvin");
}

bool DriverRegistry::set(const std::string& path, const char* name, DWORD type, const void* data,
                         DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool DriverRegistry::setDriver() {
    return set(PRINTERS + printer, "Printer Driver", REG_SZ, driver.c_str(),
               static_cast<DWORD>(driver.size() + 1));
}

bool DriverRegistry::setSetting(const char* name, DWORD type, const void* data, DWORD size) {
    return set(SETTINGS + driver, name, type, data, size);
}

bool DriverRegistry::setDword(const char* name, DWORD value) {
    return setSetting(name, REG_DWORD, &value, sizeof value);
}

bool DriverRegistry::setText(const char* name, const std::string& text) {
    return setSetting(name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}
