// What the application learns from its surroundings: the settings under the
// printer driver's registry key, and whether anybody can see its window.
#pragma once

#include <string>

#include "core/platform.h"

struct AppSettings {
    bool headless = false;        // "Headless": answer by the policy even where the window is seen
    u32 headlessDelayMs = 10000;  // "HeadlessDelay": before a fixable state is answered Continue
    u32 headlessRetries = 60;     // "HeadlessRetries": Continue answers per job, then Cancel
    bool trace = false;           // "Trace": the short log of what was shown and answered
    std::string traceFile;        // "TraceFile": appended to; else the debugger output
};

// The settings of the printer's driver, by the name the job start block gives
// (cut to 127 characters); the defaults where a key or value is missing.
AppSettings ReadAppSettings(const std::string& cutPrinterName);

// Session 0, or a window station without a visible display: a window there
// reaches nobody.
bool InInvisibleSession();
