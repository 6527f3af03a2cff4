// Reading the driver's settings and the session the application runs in.
#include "qxsmon/environment.h"

#include <windows.h>

#include <cstdio>

#include "core/driver_settings.h"
#include "core/scoped.h"
#include "core/statmon_interface.h"

namespace {

bool OpenKey(const char* format, const std::string& name, UniqueKey& out) {
    return OpenSettingsKey(format, name.c_str(), *out.receive());
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

// The job start block holds the printer's name cut to 127 characters, so a
// name of that length may be the start of a longer one: it stands for the one
// printer whose name starts so. Where several do, none is taken (empty): the
// defaults are safer than another printer's settings.
std::string FullPrinterName(const std::string& name) {
    if (name.size() < JOB_START_NAME_SIZE - 1) return name;
    UniqueKey printers;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRINTERS_KEY, 0, KEY_READ, printers.receive()) !=
        ERROR_SUCCESS)
        return name;
    std::string found;
    int matches = 0;
    for (DWORD i = 0;; ++i) {
        char subkey[256];  // the longest registry key name, and its terminator
        DWORD size = sizeof subkey;
        LONG rc =
            RegEnumKeyExA(printers.get(), i, subkey, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        int length = static_cast<int>(name.size());
        if (rc == ERROR_SUCCESS && size >= name.size() &&
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, subkey, length, name.c_str(),
                           length) == CSTR_EQUAL) {
            found = subkey;
            ++matches;
        }
    }
    if (matches == 0) return name;
    return matches == 1 ? found : std::string();
}

}  // namespace

AppSettings ReadAppSettings(const std::string& cutPrinterName) {
    AppSettings settings;
    std::string printerName = FullPrinterName(cutPrinterName);
    UniqueKey printerKey;
    if (printerName.empty() || !OpenKey(PRINTERS_KEY_FORMAT, printerName, printerKey))
        return settings;
    std::string driver;
    if (!ReadText(printerKey.get(), "Printer Driver", driver)) return settings;
    UniqueKey settingsKey;
    if (!OpenKey(SETTINGS_KEY_FORMAT, driver, settingsKey)) return settings;
    u32 headless = 0, trace = 0;
    ReadFourByteSetting(settingsKey.get(), "Headless", headless);
    ReadFourByteSetting(settingsKey.get(), "HeadlessDelay", settings.headlessDelayMs);
    ReadFourByteSetting(settingsKey.get(), "HeadlessRetries", settings.headlessRetries);
    ReadFourByteSetting(settingsKey.get(), "Trace", trace);
    ReadText(settingsKey.get(), "TraceFile", settings.traceFile);
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
