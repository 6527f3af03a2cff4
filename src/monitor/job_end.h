// Pieces of the job end.
#pragma once

#include <windows.h>

#include "monitor/port_session.h"

// Rebuilds a spooled multi-copy job and sends it through the data path; closes
// (and so deletes) the spool file in every case.
void ReplaySpooledJob(PortSession& session);

using ReplayWriter = bool (*)(PortSession& session, u8* buffer, u32 length, u32& written);

// Offers the file's bytes to writer from its start, in pieces of at most 4096
// bytes; a piece taken in part is followed by its rest.
void ReplayFile(PortSession& session, HANDLE file, ReplayWriter writer);
