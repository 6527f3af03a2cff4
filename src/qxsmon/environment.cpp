// Reading the driver's settings and the session the application runs in.
#include "qxsmon/environment.h"

#include <windows.h>

#include <cstdio>

#include "core/driver_settings.h"

namespace {

struct KeyGuard {
    HKEY key = nullptr;
    ~KeyGuard() {
        if (key != nullptr) RegCloseKey(key);
    }
};

bool OpenKey(const char* format, const std::string& name, KeyGuard& out) {
    return OpenSettingsKey(format, name.c_str(), out.key);
}

// A text value, with environment variables expanded when it is REG_EXPAND_SZ.
bool ReadText(HKEY key, const char* name, std::string& value) {
    char text[MAX_PATH + 1] = {};  // the spare byte keeps it terminated
    DWORD size = MAX_PATH;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    if (type == REG_EXPAND_SZ) {
        char expanded[MAX_PATH];
        DWORD length = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
        if (length == 0 || length > sizeof expanded) return false;
        value = expanded;
    } else {
        value = text;
    }
    return true;
}

}  // namespace

AppSettings ReadAppSettings(const std::string& printerName) {
    AppSettings settings;
    KeyGuard printerKey;
    if (!OpenKey(PRINTERS_KEY_FORMAT, printerName, printerKey)) return settings;
    std::string driver;
    if (!ReadText(printerKey.key, "Printer Driver", driver)) return settings;
    KeyGuard settingsKey;
    if (!OpenKey(SETTINGS_KEY_FORMAT, driver, settingsKey)) return settings;
    u32 headless = 0, trace = 0;
    ReadFourByteSetting(settingsKey.key, "Headless", headless);
    ReadFourByteSetting(settingsKey.key, "HeadlessDelay", settings.headlessDelayMs);
    ReadFourByteSetting(settingsKey.key, "HeadlessRetries", settings.headlessRetries);
    ReadFourByteSetting(settingsKey.key, "Trace", trace);
    ReadText(settingsKey.key, "TraceFile", settings.traceFile);
    settings.headless = headless != 0;
    settings.trace = trace != 0;
    return settings;
}

bool InInvisibleSession() {
    DWORD session = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) return true;
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    if (GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                  &needed))
        return (flags.dwFlags & WSF_VISIBLE) == 0;
    return false;
}
