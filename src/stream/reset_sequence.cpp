// The printer reset, sent by the data path and the job end, and the stop of
// a job that cannot go on.
#include <windows.h>

#include "core/port_calls.h"
#include "core/printer_commands.h"
#include "core/trace.h"
#include "statmon/notify.h"
#include "stream/transmit.h"

// The zeros come from a constant, not the heap: the printer gets its whole
// reset even when memory has run out, which is when a job is stopped.
void SendResetSequence(PortSession& session) {
    static const u8 zeros[RESET_ZEROS] = {};
    u32 written = 0;
    LowerWritePort(session, zeros, sizeof zeros, &written);
    LowerWritePort(session, RESET_COMMAND, sizeof RESET_COMMAND, &written);
    session.job.status.staleStatusPossible =
        true;  // what the printer said before it is of no use now
    TraceReset(session);
}

void StopWithSystemError(PortSession& session, const char* why) {
    TraceJobStopped(session, why);
    SendNotify(session, NotifySystemError);
    SendResetSequence(session);
    session.job.flags |= PSF_STOPPED;
}
