// The sender: each segment the scanner hands over is stored for a resend,
// preceded at a new page by a status check, written under the port mutex and
// reported as progress; at page ends the printer is followed through printing.
#include "statmon/reply_check.h"
#include "stream/transmit.h"

#include <windows.h>

#include <cstring>

#include "core/port_calls.h"
#include "core/port_mutex.h"
#include "core/port_monitor.h"
#include "core/ticks.h"
#include "core/trace.h"
#include "status/port_wait.h"
#include "status/status.h"
#include "statmon/notify.h"
#include "stream/scanner.h"
#include "stream/segment_list.h"

namespace {

constexpr DWORD PORT_MUTEX_WAIT_MS = 1000;
constexpr u32 NETWORK_PIECE = 256;
constexpr DWORD PAUSE_POLL_MS = 50;
// Before a port that took nothing is offered the rest again: a printer that is
// offline or a full buffer stays so for a while, and a retry costs a mutex turn.
constexpr DWORD STALLED_WRITE_PAUSE_MS = 20;
// A "LanSleep" pause is slept in slices this long, each followed by a reply check.
constexpr u32 LAN_SLEEP_SLICE_MS = 50;

bool IsNetwork(const PortSession& session) { return session.portType == PORTTYPE_NETWORK; }

u32 ValueAfterStatus(const PortSession& session) {
    return IsNetwork(session) ? PORT_VALUE_STATUS : PORT_VALUE_DATA;
}

// Holds the data while the application has paused the job. The reply event
// paces the loop.
bool WaitWhilePaused(PortSession& session) {
    while (session.job.flags & PSF_PAUSED) {
        if (!CheckReply(session)) return false;
        if (!(session.job.flags & PSF_PAUSED)) break;
        if (session.job.link.replyEvent == nullptr ||
            WaitForSingleObject(session.job.link.replyEvent, PAUSE_POLL_MS) == WAIT_OBJECT_0)
            Sleep(5);  // the event may stay set from an earlier reply
    }
    return true;
}

// Stores the segment unless its first bytes are in the list already (held back
// by an earlier pass), so that a resend sends every byte once.
bool StoreOnce(PortSession& session, const u8* data, u32 length) {
    u32 already = session.job.data.storedAhead < length ? session.job.data.storedAhead : length;
    session.job.data.storedAhead -= already;
    if (already == length) return true;
    return StoreSegment(session, data + already, length - already);
}

// The pause before each piece written to a network port, in slices that look
// at the application's answer, so that a cancel is heard within a slice.
bool LanPause(PortSession& session) {
    for (u32 left = session.job.data.lanSleep; left > 0;) {
        u32 slice = left < LAN_SLEEP_SLICE_MS ? left : LAN_SLEEP_SLICE_MS;
        Sleep(slice);
        left -= slice;
        if (!CheckReply(session)) return false;
    }
    return true;
}

// One pass of writes under the port mutex; returns the bytes written. A
// cancel heard in a pause ends the pass (cancelled).
u32 WritePass(PortSession& session, const u8* data, u32 remaining, bool& cancelled) {
    u32 written = 0;
    if (IsNetwork(session)) {
        u32 start = TickNow();
        while (remaining > 0 && !DeadlinePassed(start, session.job.status.statusTimeout)) {
            if (!LanPause(session)) {
                cancelled = true;
                break;
            }
            u32 piece = remaining < NETWORK_PIECE ? remaining : NETWORK_PIECE;
            u32 count = 0;
            if (LowerWritePort(session, data + written, piece, &count) && count != 0) {
                if (count > piece) count = piece;
                written += count;
                remaining -= count;
            } else {
                PauseAfterEmptyRead();  // a print server with a full buffer takes nothing for a while
            }
        }
    } else {
        u32 count = 0;
        LowerWritePort(session, data, remaining, &count);
        written = count < remaining ? count : remaining;
    }
    return written;
}

enum class WriteOutcome { Written, MutexTimedOut, Failed };

// Writes the segment pass after pass, each under the port mutex. A port that
// takes nothing is offered the rest again; a cancel or a vanished application
// ends the offers. A mutex held elsewhere past the wait hands the segment back
// to the spooler, except during a resend, which has nobody to hand it to and
// waits on.
WriteOutcome WriteSegment(PortSession& session, ScanCursor& cursor) {
    while (cursor.pos > 0) {
        MutexWait wait = TakePortMutex(session, PORT_MUTEX_WAIT_MS);
        if (wait == MutexWait::TimedOut) {
            if (!CheckReply(session)) return WriteOutcome::Failed;
            if (!(session.job.flags & PSF_RESENDING)) return WriteOutcome::MutexTimedOut;
            continue;
        }
        if (wait == MutexWait::Failed) return WriteOutcome::Failed;
        SetLastError(0);
        bool cancelled = false;
        u32 written = WritePass(session, cursor.base(), cursor.pos, cancelled);
        DWORD error = GetLastError();
        session.job.data.pageBytesSent += written;
        cursor.consumed += written;
        cursor.pos -= written;
        ReleaseMutex(session.job.portMutex);
        if (error == PORTERR_GONE) {
            SetState(session, STATE_GONE, 0);
            return WriteOutcome::Failed;
        }
        if (cancelled) return WriteOutcome::Failed;
        if (written == 0 && cursor.pos > 0) {
            Sleep(STALLED_WRITE_PAUSE_MS);
            if (!CheckReply(session)) return WriteOutcome::Failed;
        }
    }
    return WriteOutcome::Written;
}

// Follows the printer through the printing of a page, a last page or a part.
bool PageEndHandshake(PortSession& session, SegmentKind kind) {
    session.job.data.rasterCount = 0;
    bool told = SendNotify(session, NotifyWaiting);
    session.job.link.phase = ShownPhase::Waiting;
    if (!told) return false;
    SetPortValue(session, PORT_VALUE_STATUS);
    // A printer that answered as idle has printed: the waits left are skipped.
    CycleWait wait = WaitForPrintCycle(session, STATUS_PHASE_CHANGE, 1, 0);
    if (wait == CycleWait::Came && kind != SEG_SPLIT)
        wait = WaitForPrintCycle(session, STATUS_PRINTING_ENDED, 0, 0);
    if (wait == CycleWait::Came) wait = WaitForPrintCycle(session, STATUS_PHASE_CHANGE, 0, 0);
    if (wait == CycleWait::Failed) return false;
    // Back in its receiving phase after a whole page, the printer has said
    // all it had to say about it; after a part, or an answer to a status
    // request instead of the cycle, packets may still come.
    session.job.status.staleStatusPossible = !(wait == CycleWait::Came && kind != SEG_SPLIT);
    if (kind != SEG_LAST_PAGE) {
        if (!SendNotify(session, NotifyPrinting)) return false;
        session.job.link.phase = ShownPhase::Printing;
    }
    SetPortValue(session, ValueAfterStatus(session));
    return true;
}

}  // namespace

// Once a segment is in the segment list, a failure counts it as consumed
// whatever part of it was written: the resend sends it whole from the list,
// and the continuing scan must not send it a second time.
SendResult SendSegment(PortSession& session, ScanCursor& cursor, SegmentKind kind) {
    u32 length = cursor.pos;
    TraceSegment(session, kind, length);
    if (!WaitWhilePaused(session)) return SendResult::EndFalse;

    bool stored = !(session.job.flags & PSF_RESENDING);
    if (stored) {
        if (!StoreOnce(session, cursor.base(), length)) {
            StopWithSystemError(session, "the page's segments cannot be kept");
            return SendResult::EndTrue;
        }
        if ((session.job.flags & PSF_RESET_ON_STOP) && kind == SEG_PAGE_END) MakePageCopy(session);
    }
    auto fail = [&] {
        if (stored) {
            cursor.consumed += cursor.pos;
            cursor.pos = 0;
            session.job.data.storedAhead = 0;  // nothing unconsumed is in the list any more
        }
        return SendResult::EndFalse;
    };

    if (session.job.flags & PSF_NEW_JOB_INFO) {
        SetPortValue(session, PORT_VALUE_STATUS);
        if (!CheckPrinterStatus(session)) return fail();
        session.job.flags &= ~PSF_NEW_JOB_INFO;
        SetPortValue(session, ValueAfterStatus(session));
    }

    if (session.job.status.portReady != PORT_BUSY) {
        switch (WriteSegment(session, cursor)) {
            case WriteOutcome::Written: break;
            case WriteOutcome::MutexTimedOut:
                // Stored but not written: it comes again with the next call.
                session.job.data.storedAhead = cursor.pos;
                return SendResult::EndTrue;
            case WriteOutcome::Failed: return fail();
        }
        if (!SendProgress(session, kind)) return fail();
        if (kind != SEG_PLAIN && !PageEndHandshake(session, kind)) return fail();
    } else {
        // Held back on a busy port: nothing written, the bytes lead the next segment.
        if (PollPortReady(session) == POLL_STOP || session.job.status.portReady != PORT_BUSY) {
            CheckStalledPort(session);
            return fail();
        }
        if (stored) session.job.data.storedAhead = cursor.pos;
        kind = SEG_SPLIT;
        if (!PageEndHandshake(session, kind)) return fail();
    }

    if (!CheckReply(session)) return fail();

    if (kind == SEG_PAGE_END) {
        session.job.flags |= PSF_PAGE_ENDED;
        session.job.data.rasterCount = 0;
        // The page has printed: neither its segments nor its copy may go again.
        // A resend's own page end leaves both to the recovery, which is reading them.
        if (!(session.job.flags & PSF_RESENDING)) {
            ReleaseSegments(session);
            DiscardPageCopy(session);
        }
    } else if (kind == SEG_LAST_PAGE) {
        TraceLastPage(session);
        SendNotify(session, NotifyJobEnd);
        session.job.flags |= PSF_STOPPED;
    }
    return SendResult::Continue;
}

bool TakeJobInfo(PortSession& session, const u8* block) {
    u16 oldPart = session.job.jobInfo.partIndex;
    u16 oldPage = session.job.jobInfo.pageNumber;
    std::memcpy(&session.job.jobInfo, block, JOB_INFO_SIZE);
    if (session.job.jobInfo.partCount == 0) {
        session.job.jobInfo.partCount = 1;
        session.job.jobInfo.partIndex = 1;
    }
    session.job.flags &= ~PSF_PAGE_ENDED;
    if (session.job.jobInfo.pageNumber == oldPage && session.job.jobInfo.partIndex == oldPart) return true;

    session.job.data.lastPercent = -1;
    session.job.data.pageBytesSent = 0;
    if (session.job.flags & PSF_SEND_MEDIA) {
        if (!SendMediaSettings(session)) return false;
        session.job.flags &= ~PSF_SEND_MEDIA;
    }
    if (!(session.job.flags & PSF_RESENDING)) {
        if (session.job.jobInfo.checkFlags & JIB_RESET_ON_STOP)
            session.job.flags |= PSF_RESET_ON_STOP;
        else
            session.job.flags &= ~PSF_RESET_ON_STOP;
    }
    session.job.flags |= PSF_NEW_JOB_INFO;
    if (!SendProgress(session, SEG_PLAIN)) return false;
    return SendNotify(session, NotifyPrinting);
}

void CheckStalledPort(PortSession& session) {
    WaitForStatus(session, STATUS_ERROR, 0, 0, false);
    if (session.stateClass == STATE_NONE || session.stateClass == STATE_READY)
        SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
}

namespace {

SendResult RealSendSegment(void*, PortSession& session, ScanCursor& cursor, SegmentKind kind) {
    return SendSegment(session, cursor, kind);
}

bool RealTakeJobInfo(void*, PortSession& session, const u8* block) {
    return TakeJobInfo(session, block);
}

bool RealStoreSegment(void*, PortSession& session, const u8* data, u32 length) {
    return StoreSegment(session, data, length);
}

void RealStoreFailed(void*, PortSession& session) {
    StopWithSystemError(session, "the page's segments cannot be kept");
}

constexpr ScanSender REAL_SENDER = {nullptr, RealSendSegment, RealTakeJobInfo, RealStoreSegment,
                                    RealStoreFailed};

}  // namespace

bool ScanStream(PortSession& session, u8* buffer, u32 length, u32& consumed, ScanMode mode) {
    return ScanStreamWith(session, buffer, length, consumed, REAL_SENDER, mode);
}
