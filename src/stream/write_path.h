// The write path: WritePort's data handling, the replay of a rebuilt job, and
// the recovery after the scanner failed.
#pragma once

#include "monitor/port_session.h"

// ReplayWrite: WritePort without the status monitor launch and the spool diversion.
bool ReplayWrite(PortSession& session, u8* buffer, u32 length, u32& written);

// At job end: scans what still waits in the carry buffer as the end of the
// stream, so that a last page end behind unknown bytes is still printed.
void FlushCarry(PortSession& session);
