// The sending half of the scanner: segments to the port, the page-end
// handshake, job information blocks, the reset sequence and the reply check.
#pragma once

#include "core/port_session.h"
#include "stream/scanner.h"

// 48 zero bytes and ESC @ straight to the port, without the port mutex.
void SendResetSequence(PortSession& session);

// The data path cannot go on (its memory ran out, a command can never be
// taken): the user is told with NotifySystemError, the printer is reset and
// the job stopped.
void StopWithSystemError(PortSession& session, const char* why);
