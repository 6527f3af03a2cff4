// The reply check and the printer reset, used throughout the data path.
#include <windows.h>

#include "monitor/port_calls.h"
#include "monitor/process_state.h"
#include "monitor/trace.h"
#include "statmon/notify.h"
#include "stream/transmit.h"

void MarkCancelled(PortSession& session) {
    session.flags |= PSF_RESET_ON_STOP;
    SetState(session, STATE_FATAL, 0);
    session.resetNeeded = 1;
}

namespace {

bool ApplicationGone(const PortSession& session) {
    return session.monitorWindow != nullptr && !IsWindow(static_cast<HWND>(session.monitorWindow));
}

}  // namespace

// An application whose window has gone can answer no more: that is a cancel,
// as it is to WaitForReply, so that no wait outlives the application.
bool CheckReply(PortSession& session) {
    u32 state = GetReplyState(session);
    if (state == REPLY_CANCEL || ApplicationGone(session)) {
        MarkCancelled(session);
        return false;
    }
    if (state == REPLY_CONTINUE) session.flags &= ~PSF_PAUSED;
    if (state == REPLY_PAUSE) session.flags |= PSF_PAUSED;
    return true;  // any other state: a state notification still awaits its answer
}

// The zeros come from a constant, not the heap: the printer gets its whole
// reset even when memory has run out, which is when a job is stopped.
bool SendResetSequence(PortSession& session) {
    static const u8 zeros[48] = {};
    u32 written = 0;
    LowerWritePort(session, zeros, sizeof zeros, &written);
    static const u8 reset[2] = {0x1B, 0x40};  // ESC @
    LowerWritePort(session, reset, sizeof reset, &written);
    TraceReset(session);
    return true;
}
