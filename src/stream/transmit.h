// The sending half of the scanner: segments to the port, the page-end
// handshake, job information blocks, the reset sequence and the reply check.
#pragma once

#include "monitor/port_session.h"

// Turns the application's last reply into pause and cancel; FALSE on a cancel,
// with (3, 0), resetNeeded and PSF_RESET_ON_STOP.
bool CheckReply(PortSession& session);

// 48 zero bytes and ESC @ straight to the port, without the port mutex.
bool SendResetSequence(PortSession& session);
