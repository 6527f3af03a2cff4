// Pieces of the job end.
#pragma once

#include <windows.h>

#include "core/port_session.h"

// Rebuilds a spooled multi-copy job and sends it through the data path; closes
// (and so deletes) the spool file in every case.
void ReplaySpooledJob(PortSession& session);

// Gives back every buffer, handle and heap copy a job holds (each field null
// again), ends the job on the port monitor and frees the port for the next
// job: the job end's last steps, and those of a job start that cannot
// complete. The job's state stays for the job end's last trace line, until
// the next job start makes the record afresh. The caller's last error
// survives.
void ReleaseJob(PortSession& session, bool ownsOpenPortMutex);

using ReplayWriter = bool (*)(PortSession& session, u8* buffer, u32 length, u32& written);

// Offers the file's bytes to writer from its start, in pieces of at most 4096
// bytes; a piece taken in part is followed by its rest.
void ReplayFile(PortSession& session, HANDLE file, ReplayWriter writer);

// The trace line of a multi-copy job's rebuild (the trace is on).
void TraceRebuildLine(PortSession& session, HANDLE spoolFile, HANDLE rebuilt, bool rebuiltJob);
inline void TraceRebuild(PortSession& s, HANDLE spoolFile, HANDLE rebuilt, bool rebuiltJob) {
    if (s.trace.on) TraceRebuildLine(s, spoolFile, rebuilt, rebuiltJob);
}
