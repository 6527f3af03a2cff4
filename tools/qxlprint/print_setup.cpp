// Registry, application directory, answers and printer set-up for a job.
#include "qxlprint/print_setup.h"

#include <windows.h>

#include <cstring>

#include "common/text.h"
#include "qxlinspect/monitor_view.h"
#include "rig/network_monitor.h"
#include "core/statmon_interface.h"

namespace {

constexpr char PRINTERS_KEY[] = "System\\CurrentControlSet\\control\\Print\\Printers\\";
constexpr char SETTINGS_KEY[] = "SOFTWARE\\Quorvin\\Tavrik\\Driver\\3.0\\";

// The codes of class 2: the states the user can clear and answer.
constexpr u16 CLEARABLE_CODES[] = {1, 5, 8, 9, 13, 15, 16, 19, 20, 21, 22, 26, 49};

bool SetValue(const std::string& keyPath, const char* name, DWORD type, const void* data,
              DWORD size, std::string& error) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr);
    if (result == ERROR_SUCCESS) {
        result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    if (result != ERROR_SUCCESS)
        error = Format("cannot write HKLM\\%s %s (error %ld)", keyPath.c_str(), name, result);
    return result == ERROR_SUCCESS;
}

bool SetNumber(const std::string& keyPath, const char* name, long value, std::string& error) {
    DWORD number = static_cast<DWORD>(value);
    return SetValue(keyPath, name, REG_DWORD, &number, sizeof number, error);
}

}  // namespace

bool WriteDriverSettings(const PrintOptions& options, std::string& error) {
    const std::string settings = SETTINGS_KEY + options.driver;
    return SetValue(PRINTERS_KEY + options.printer, "Printer Driver", REG_SZ,
                    options.driver.c_str(), static_cast<DWORD>(options.driver.size() + 1), error) &&
           SetNumber(settings, "Status Timeout", options.statusTimeout, error) &&
           SetNumber(settings, "Print Timeout", options.printTimeout, error) &&
           SetNumber(settings, "LanSleep", options.lanSleep, error) &&
           (options.app != AppChoice::Product || SetNumber(settings, "Headless", 1, error));
}

bool ApplicationDirectory(const PrintOptions& options, std::string& dir, std::string& error) {
    const char* folder = options.app == AppChoice::Product ? "..\\app\\" : "..\\bin\\";
    dir = FullPath(ProgramDirectory() + folder);
    const std::string program = dir + STATMON_EXECUTABLE;
    if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = Format("no %s: build it first%s", program.c_str(),
                       options.app == AppChoice::Product ? " (the product application)" : "");
        return false;
    }
    return true;
}

std::string AnswerScript(const PrintOptions& options) {
    std::string script;
    for (u16 code : CLEARABLE_CODES) {
        const u32 notify = StateNotifyCode(STATE_ERROR, static_cast<i16>(code));
        switch (options.answer) {
            case Answer::Continue:
                Appendf(script, "on 0x%x reply %u;", notify, REPLY_CONTINUE);
                break;
            case Answer::Cancel: Appendf(script, "on 0x%x reply %u;", notify, REPLY_CANCEL); break;
            case Answer::Pause:
                Appendf(script, "on 0x%x reply %u;on 0x%x reply %u after %ld;", notify, REPLY_PAUSE,
                        notify, REPLY_CONTINUE, options.pauseMs);
                break;
        }
    }
    return script;
}

void SetUpPrinter(EmulatedPrinter& printer, const PrintOptions& options, PrinterPort kind) {
    printer.portKind = kind;
    printer.mediaWidth = static_cast<u8>(options.mediaWidth);
    printer.mediaType = static_cast<u8>(options.mediaType);
    printer.mediaExtra = static_cast<u8>(options.mediaExtra);
    const FaultScript& faults = options.faults;
    printer.errorPage = faults.stopBeforePage;
    printer.pageErrorInfo1 = faults.stopInfo1;
    printer.pageErrorInfo2 = faults.stopInfo2;
    printer.errorStatusPage = faults.errorWhilePage;
    printer.errorStatusInfo1 = faults.errorBits;
    printer.gonePage = faults.gonePage;
    printer.pageMs = faults.slowMs;
}

std::string FullPath(const std::string& path) {
    if (path.empty()) return path;
    // Paths from a Unix shell under Wine come with '/': one kind of separator throughout.
    std::string windows = path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(windows.c_str(), MAX_PATH, full, nullptr);
    return length == 0 || length >= MAX_PATH ? windows : std::string(full, length);
}
