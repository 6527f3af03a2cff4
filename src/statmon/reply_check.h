// The application's answers as the waits of the data path and the status
// checks follow them: pause, continue and cancel.
#pragma once

#include "core/port_session.h"

// Turns the application's last reply into pause and cancel; FALSE on a cancel
// or when the application's window has gone, with (3, 0), resetNeeded and
// PSF_RESET_ON_STOP.
bool CheckReply(PortSession& session);

// The job is cancelled: (3, 0), resetNeeded and PSF_RESET_ON_STOP.
void MarkCancelled(PortSession& session);
