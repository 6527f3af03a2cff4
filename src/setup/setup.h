// qxlsetup: registers the language monitor with the spooler, removes it and
// reports its state, for a manual install or a test bench.
#pragma once

#include <string>

// One exit code per outcome that a script or a person acts on.
enum SetupExitCode : int {
    SETUP_DONE = 0,
    SETUP_FAILED = 1,  // any other failure, reported with its Win32 error
    SETUP_USAGE = 2,
    SETUP_NOT_ELEVATED = 3,
    SETUP_NO_DLL = 4,  // no qxlmon.dll of this architecture in the system directory
    SETUP_ALREADY_INSTALLED = 5,
    SETUP_IN_USE = 6,  // a printer driver still names the monitor
    SETUP_NOT_INSTALLED = 7,
};

// What a command ends with: its exit code and the line the user reads.
struct Outcome {
    int code;
    std::string message;
};

// The monitor name that the sample INF's LanguageMonitor line gives too.
inline constexpr char kDefaultMonitorName[] = "QXL Language Monitor";
inline constexpr char kMonitorDll[] = "qxlmon.dll";

// The spooler accepts only a monitor built for its own architecture.
#if defined(_WIN64)
inline constexpr char kEnvironment[] = "Windows x64";
inline constexpr char kArchFolder[] = "x64";
#else
inline constexpr char kEnvironment[] = "Windows NT x86";
inline constexpr char kArchFolder[] = "x86";
#endif

Outcome AddMonitorCommand(const std::string& name);
Outcome RemoveMonitorCommand(const std::string& name);
Outcome MonitorStatusCommand(const std::string& name);
