// The reply check and the printer reset, used throughout the data path.
#include <windows.h>

#include "monitor/process_state.h"
#include "statmon/notify.h"
#include "stream/transmit.h"

void MarkCancelled(PortSession& session) {
    session.flags |= PSF_RESET_ON_STOP;
    SetState(session, STATE_FATAL, 0);
    session.resetNeeded = 1;
}

bool CheckReply(PortSession& session) {
    switch (GetReplyState(session)) {
        case REPLY_CONTINUE:
            session.flags &= ~PSF_PAUSED;
            return true;
        case REPLY_PAUSE:
            session.flags |= PSF_PAUSED;
            return true;
        case REPLY_CANCEL:
            MarkCancelled(session);
            return false;
        default:  // a state notification still awaits its answer
            return true;
    }
}

bool SendResetSequence(PortSession& session) {
    static constexpr u32 ZERO_COUNT = 48;
    u32 written = 0;
    if (u8* zeros = static_cast<u8*>(AllocZeroed(ZERO_COUNT))) {
        session.lowerMonitor.WritePort(session.lowerPort, zeros, ZERO_COUNT, &written);
        FreeBlock(zeros);
    }
    u8 reset[2] = {0x1B, 0x40};  // ESC @
    session.lowerMonitor.WritePort(session.lowerPort, reset, sizeof reset, &written);
    return true;
}
