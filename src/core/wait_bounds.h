// The longest the monitor waits for another party: the status monitor
// application, its message box's user, the connect thread and the port's
// other users. One record, so that tests can shorten every such bound at once.
#pragma once

#include "core/platform.h"

struct WaitBounds {
    u32 notifyMs = 30000;         // a notification not taken within this: the application is gone
    u32 windowSearchMs = 10000;   // the application's window must appear within this
    u32 launchMessageMs = 60000;  // the launch-failure message box holds the job this long at most
    u32 applicationExitMs = 15000;    // job end: the application's exit
    u32 connectThreadExitMs = 10000;  // job end: the connect thread's end
    u32 portMutexEndMs = 10000;       // job end: the port's other users
};

extern WaitBounds g_waitBounds;

// Test seam:
// QXLMON_TEST_BOUNDS="notify=2000,search=1000,message=1000,exit=1000,thread=500,mutex=500" (any
// subset) shortens the bounds of this process; read at every initialisation (InitializeMonitorEx,
// InitializePrintMonitor2).
void LoadWaitBoundsOverride();
