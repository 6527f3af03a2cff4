// The status monitor application's process, its window and the connect thread.
#pragma once

#include "core/port_session.h"

// What the launch at the job's first write leaves for the write; the numbers
// are the write's own results where it stops there.
enum LaunchResult {
    LAUNCH_NO_THREAD = 0,  // no connect thread: the job is stopped and the write fails
    LAUNCH_DROPPED = 1,    // no link: the job is stopped, the write succeeds and drops its data
    LAUNCH_LINKED = 2,     // the application is told; the write goes on
};

// Starts the application and its link at the job's first write.
LaunchResult LaunchStatusMonitor(PortSession& session);

// The application's top-level window (its primary thread's, without a parent);
// stored in monitorWindow, null when there is none.
WindowHandle FindMonitorWindow(PortSession& session);

// The connect thread's routine.
unsigned long QXL_WINAPI ConnectThreadMain(void* session);

// From the job end on, the connect window no longer answers for the record:
// replies that still come are dropped, and the record may be freed although
// the window's thread has not ended yet.
void DetachConnectWindow(PortSession& session, WindowHandle window);

// Waits for the application's reply to a state notification; the out value is
// the reply state, 3 when the application's window has gone.
bool WaitForReply(PortSession& session, u32& state);
