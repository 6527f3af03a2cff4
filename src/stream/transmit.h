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

// Hands one segment to the port (see the scanner's sender contract).
SendResult SendSegment(PortSession& session, ScanCursor& cursor, SegmentKind kind);

// Takes in a job information block met in the stream; a block with new page or
// part numbers starts a new page: progress from zero and a status check.
bool TakeJobInfo(PortSession& session, const u8* block);

// After a segment held back on a busy port: looks for an error status that
// explains the stall, and sets (2, 26) when none does.
void CheckStalledPort(PortSession& session);
