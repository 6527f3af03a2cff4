// The recovery after the scanner failed: the state reported, the user's
// answer awaited, the printer reset and the page sent again.
#include "stream/recovery.h"

#include <cstring>

#include "core/trace.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "status/port_status.h"
#include "stream/scanner.h"
#include "stream/segment_list.h"
#include "stream/transmit.h"

namespace {

constexpr u32 RESEND_PIECE = 4096;

// Always false: the page is not sent again.
bool Stop(PortSession& session) {
    TraceJobStopped(session, "the page is not sent again");
    session.job.flags |= PSF_STOPPED;
    return false;
}

// The user cancelled: the printer is reset now, not only by the writes that
// may still come. There may be none: the answer can come to the job's last
// write, and the job end of a stopped job sends nothing.
bool StopCancelled(PortSession& session) {
    session.job.flags |= PSF_RESET_ON_STOP;
    SendResetSequence(session);
    return Stop(session);
}

// Feeds one stored segment to the scanner in pieces; its last piece is the end
// of what was scanned before, so unknown bytes there are stepped over. A piece
// that yields nothing (a command longer than a piece) grows to the node's rest.
bool ResendNode(PortSession& session, u8* data, u32 length) {
    u32 offset = 0;
    while (offset < length) {
        u32 piece = length - offset < RESEND_PIECE ? length - offset : RESEND_PIECE;
        for (;;) {
            bool last = offset + piece == length;
            u32 consumed = 0;
            if (!RescanStream(session, data + offset, piece, consumed,
                              last ? ScanMode::EndOfStream : ScanMode::Normal))
                return false;
            if (consumed > 0) {
                offset += consumed;
                break;
            }
            if (last) return true;  // an incomplete command at the very end: nothing to send
            piece = length - offset;
        }
    }
    return true;
}

// True when the page copy was made from the segment list as it stands (the
// copy is of the page in flight).
bool ListMatchesCopy(const PortSession& session) {
    const SegmentNode* copy = session.job.data.pageCopy;
    u32 offset = 0;
    for (const SegmentNode* node = session.job.data.pageFirst; node != nullptr; node = node->next) {
        if (offset + node->length > copy->length ||
            std::memcmp(copy->data + offset, node->data, node->length) != 0)
            return false;
        offset += node->length;
    }
    return offset == copy->length;
}

// Tells the user the state pair and waits for the answer: true to send the
// page again; false once the job has stopped (a state that allows no
// resend, nobody left to ask, a cancel).
bool ReportAndAwaitAnswer(PortSession& session) {
    if (session.job.resetNeeded) {
        SendResetSequence(session);
        session.job.resetNeeded = false;
    }
    // A failure that left no state of the printer (a port mutex that could
    // not be had) is reported as what it is to the user, a communication
    // failure, never as a notification no application knows.
    if (session.stateClass == STATE_NONE || session.stateClass == STATE_READY)
        SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
    if (session.stateClass == STATE_FATAL && session.stateCode == 0) return Stop(session);
    // After the job's end was told every page has printed; what failed is
    // the bytes after the last page end, and there is nobody to ask.
    if (session.job.link.jobEndTold) return Stop(session);
    if (GetReplyState(session) == REPLY_CANCEL) return StopCancelled(session);
    ShowPortState(session, session.stateClass, session.stateCode);
    if (session.stateClass == STATE_GONE) {
        SendNotify(session, NotifyJobEnd);
        return Stop(session);
    }
    u32 code = StateNotifyCode(session.stateClass, session.stateCode);
    if (session.stateClass == STATE_FATAL) {
        SendNotify(session, code);
        return Stop(session);
    }
    if (!SendNotify(session, code)) return Stop(session);
    u32 reply = 0;
    WaitForReply(session, reply);
    return reply == REPLY_CANCEL ? StopCancelled(session) : true;
}

// The application hears that printing goes on from zero, and the printer is
// reset for the page; false once the job has stopped.
bool PrepareResend(PortSession& session) {
    session.job.data.restoreCutParam = true;
    session.job.data.resumeAfterReply = true;
    u8 zeros[PROGRESS_BLOCK_SIZE] = {};
    if (!SendNotify(session, NotifyProgress, zeros, sizeof zeros, true) ||
        !SendNotify(session, NotifyPrinting))
        return Stop(session);
    session.job.resetNeeded = false;
    std::memset(&session.job.jobInfo, 0, sizeof session.job.jobInfo);
    SendResetSequence(session);
    session.job.data.rasterCount = 0;
    return true;
}

// The page's kept bytes once more: with a page copy, the copy goes (it is of
// the page in flight, whose page end was met; a printed page's copy is gone
// by now), and the segments it does not hold follow it, so that no consumed
// byte is lost. Bytes held back in front of the unconsumed data are in the
// list but not yet consumed: the continuing scan sends them. False when a
// send failed.
bool ResendPage(PortSession& session) {
    DataPath& data = session.job.data;
    u32 totalStored = 0;
    for (SegmentNode* node = data.pageFirst; node != nullptr; node = node->next)
        totalStored += node->length;
    u32 resendLimit = totalStored > data.storedAhead ? totalStored - data.storedAhead : 0;
    data.storedAhead = 0;

    bool resent = true;
    if (data.pageCopy != nullptr) {
        if (ListMatchesCopy(session)) resendLimit = 0;
        SegmentNode* copy = data.pageCopy;
        TraceResend(session, "page copy", copy->length);
        // The copy starts with its page's job information block; its page
        // number is cleared so that the page counts as new.
        if (copy->length >= JOB_INFO_PAGE_NUMBER_OFFSET + 2 &&
            std::memcmp(copy->data, JOB_INFO_INTRODUCER, 4) == 0)
            std::memcpy(copy->data + JOB_INFO_PAGE_NUMBER_OFFSET, &session.job.jobInfo.pageNumber,
                        2);
        resent = ResendNode(session, copy->data, copy->length);
    }
    TraceResend(session, "segment list", resendLimit);
    for (SegmentNode* node = data.pageFirst; node != nullptr && resendLimit > 0 && resent;
         node = node->next) {
        u32 n = node->length < resendLimit ? node->length : resendLimit;
        resendLimit -= n;
        resent = ResendNode(session, node->data, n);
    }
    return resent;
}

}  // namespace

Recovery ResumeAfterError(PortSession& session) {
    for (;;) {
        if (!ReportAndAwaitAnswer(session) || !PrepareResend(session)) return Recovery::Stopped;
        if (!ResendPage(session)) continue;  // decide again on the new state pair
        // Everything resent has gone whole, the copy's page with its page end.
        ReleaseSegments(session);
        DiscardPageCopy(session);
        return Recovery::Resent;
    }
}
