// The registry values a job start reads, in the test prefix: the printer's
// "Printer Driver" value and the driver's settings key, removed at the end.
#pragma once

#include <windows.h>

#include <string>

struct DriverRegistry {
    std::string printer;
    std::string driver;

    explicit DriverRegistry(std::string printerName,
                            std::string driverName = "QX Job Start Test Driver");
    ~DriverRegistry();
    DriverRegistry(const DriverRegistry&) = delete;
    DriverRegistry& operator=(const DriverRegistry&) = delete;

    // HKLM\path\name, the key made as needed.
    static bool set(const std::string& path, const char* name, DWORD type, const void* data,
                    DWORD size);
    bool setDriver();
    bool setSetting(const char* name, DWORD type, const void* data, DWORD size);
    bool setDword(const char* name, DWORD value);
    bool setText(const char* name, const std::string& text);
};
