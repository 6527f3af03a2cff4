// The application's short log of what it received, showed and answered: off
// unless the driver's "Trace" value is set; appended to "TraceFile", else
// written to the debugger output. Lines start "QXSMON <pid> <tick> ".
#pragma once

#include "qxsmon/environment.h"

// Lines traced before the settings are known are held until this call.
void StartTrace(const AppSettings& settings);
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void EndTrace();
