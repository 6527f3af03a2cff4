// The sending half of the scanner: segments to the port, the page-end
// handshake, job information blocks, the reset sequence and the reply check.
#pragma once

#include "monitor/port_session.h"
#include "stream/scanner.h"

// Turns the application's last reply into pause and cancel; FALSE on a cancel
// or when the application's window has gone, with (3, 0), resetNeeded and
// PSF_RESET_ON_STOP.
bool CheckReply(PortSession& session);

// The job is cancelled: (3, 0), resetNeeded and PSF_RESET_ON_STOP.
void MarkCancelled(PortSession& session);

// 48 zero bytes and ESC @ straight to the port, without the port mutex.
bool SendResetSequence(PortSession& session);

// Hands one segment to the port (see the scanner's sender contract).
SendResult SendSegment(PortSession& session, ScanCursor& cursor, SegmentKind kind);

// Takes in a job information block met in the stream; a block with new page or
// part numbers starts a new page: progress from zero and a status check.
bool TakeJobInfo(PortSession& session, const u8* block);

// After a segment held back on a busy port: looks for an error status that
// explains the stall; always FALSE, with (2, 26) when none does.
bool CheckStalledPort(PortSession& session);
