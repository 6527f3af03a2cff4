// Reading the driver's settings and the session the application runs in.
#include "qxsmon/environment.h"

#include <windows.h>

#include <cstdio>

namespace {

constexpr char PRINTERS_KEY[] = "System\\CurrentControlSet\\control\\Print\\Printers\\%s";
constexpr char SETTINGS_KEY[] = "SOFTWARE\\Quorvin\\Tavrik\\Driver\\3.0\\%s";

struct KeyGuard {
    HKEY key = nullptr;
    ~KeyGuard() {
        if (key != nullptr) RegCloseKey(key);
    }
};

bool OpenKey(const char* format, const std::string& name, KeyGuard& out) {
    char path[512];
    int length = std::snprintf(path, sizeof path, format, name.c_str());
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &out.key) == ERROR_SUCCESS;
}

// Read as the monitor reads its own settings: four bytes whatever the type.
void ReadNumber(HKEY key, const char* name, u32& value) {
    DWORD read = 0;
    DWORD size = sizeof read;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size) ==
            ERROR_SUCCESS &&
        size == sizeof read) {
        value = read;
    }
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
    if (!OpenKey(PRINTERS_KEY, printerName, printerKey)) return settings;
    std::string driver;
    if (!ReadText(printerKey.key, "Printer Driver", driver)) return settings;
    KeyGuard settingsKey;
    if (!OpenKey(SETTINGS_KEY, driver, settingsKey)) return settings;
    u32 headless = 0, trace = 0;
    ReadNumber(settingsKey.key, "Headless", headless);
    ReadNumber(settingsKey.key, "HeadlessDelay", settings.headlessDelayMs);
    ReadNumber(settingsKey.key, "HeadlessRetries", settings.headlessRetries);
    ReadNumber(settingsKey.key, "Trace", trace);
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
