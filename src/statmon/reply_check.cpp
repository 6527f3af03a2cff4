// The reply check: the reply state as the data path acts on it.
#include "statmon/reply_check.h"

#include <windows.h>

#include "statmon/notify.h"

void MarkCancelled(PortSession& session) {
    session.job.flags |= PSF_RESET_ON_STOP;
    SetState(session, STATE_FATAL, 0);
    session.job.resetNeeded = true;
}

namespace {

// After the job end was told, the application's exit is expected, not a cancel.
bool ApplicationGone(const PortSession& session) {
    return session.job.link.monitorWindow != nullptr && !session.job.link.jobEndTold &&
           !IsWindow(static_cast<HWND>(session.job.link.monitorWindow));
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
    if (state == REPLY_CONTINUE) session.job.flags &= ~PSF_PAUSED;
    if (state == REPLY_PAUSE) session.job.flags |= PSF_PAUSED;
    return true;  // any other state: a state notification still awaits its answer
}
