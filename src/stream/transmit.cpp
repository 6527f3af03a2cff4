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
                PauseAfterEmptyRead();  // a print server with a full buffer takes nothing for a
                                        // while
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

// Whether a segment whose port mutex is held elsewhere past the wait goes
// back to the spooler, which offers it again: a resend has nobody to hand it
// to and waits on.
enum class HandBack { ToSpooler, Never };

// Writes the segment pass after pass, each under the port mutex. A port that
// takes nothing is offered the rest again; a cancel or a vanished application
// ends the offers.
WriteOutcome WriteSegment(PortSession& session, ScanCursor& cursor, HandBack handBack) {
    while (cursor.pos > 0) {
        MutexWait wait = TakePortMutex(session, PORT_MUTEX_WAIT_MS);
        if (wait == MutexWait::TimedOut) {
            if (!CheckReply(session)) return WriteOutcome::Failed;
            if (handBack == HandBack::ToSpooler) return WriteOutcome::MutexTimedOut;
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
    CycleWait wait = WaitForPrintCycle(session, STATUS_PHASE_CHANGE, PHASE_PRINTING, 0);
    if (wait == CycleWait::Came && kind != SEG_SPLIT)
        wait = WaitForPrintCycle(session, STATUS_PRINTING_ENDED, 0, 0);
    if (wait == CycleWait::Came)
        wait = WaitForPrintCycle(session, STATUS_PHASE_CHANGE, PHASE_RECEIVING, 0);
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

// After a segment held back on a busy port: looks for an error status that
// explains the stall, and sets (2, 26) when none does.
void CheckStalledPort(PortSession& session) {
    WaitForStatus(session, STATUS_ERROR, 0, 0, false);
    if (session.stateClass == STATE_NONE || session.stateClass == STATE_READY)
        SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
}

// The printer's status before the first segment of a new page.
bool CheckNewPage(PortSession& session) {
    if (!(session.job.flags & PSF_NEW_JOB_INFO)) return true;
    SetPortValue(session, PORT_VALUE_STATUS);
    if (!CheckPrinterStatus(session)) return false;
    session.job.flags &= ~PSF_NEW_JOB_INFO;
    SetPortValue(session, ValueAfterStatus(session));
    return true;
}

// What became of a segment on its way to the port.
enum class Transmitted {
    Sent,        // written, and the printer followed through its page end
    HeldBack,    // a busy port took nothing; the bytes lead the next segment
    HandedBack,  // the port mutex was held elsewhere; the spooler offers it again
    Failed,      // the state pair says why
};

// A segment's way to the port, the same for a fresh and a resent one: the
// status check of a new page, the write and its progress (or, on a busy
// port, the hold-back), the page-end handshake, the reply check, and at a
// page end or the last page what the job then is.
Transmitted Transmit(PortSession& session, ScanCursor& cursor, SegmentKind kind,
                     HandBack handBack) {
    if (!CheckNewPage(session)) return Transmitted::Failed;
    bool heldBack = session.job.status.portReady == PORT_BUSY;
    if (!heldBack) {
        switch (WriteSegment(session, cursor, handBack)) {
            case WriteOutcome::Written: break;
            case WriteOutcome::MutexTimedOut: return Transmitted::HandedBack;
            case WriteOutcome::Failed: return Transmitted::Failed;
        }
        if (!SendProgress(session, kind)) return Transmitted::Failed;
        if (kind != SEG_PLAIN && !PageEndHandshake(session, kind)) return Transmitted::Failed;
    } else {
        if (PollPortReady(session) == POLL_STOP || session.job.status.portReady != PORT_BUSY) {
            CheckStalledPort(session);
            return Transmitted::Failed;
        }
        kind = SEG_SPLIT;
        if (!PageEndHandshake(session, kind)) return Transmitted::Failed;
    }
    if (!CheckReply(session)) return Transmitted::Failed;

    if (kind == SEG_PAGE_END) {
        session.job.flags |= PSF_PAGE_ENDED;
        session.job.data.rasterCount = 0;
    } else if (kind == SEG_LAST_PAGE) {
        TraceLastPage(session);
        SendNotify(session, NotifyJobEnd);
        session.job.flags |= PSF_STOPPED;
    }
    return heldBack ? Transmitted::HeldBack : Transmitted::Sent;
}

// A segment of the stream as the spooler gave it: kept in the segment list
// (and at a page end of a page that resets on a stop, in a page copy) before
// it goes, so that a resend can send it again. Once it is in the list, a
// failure counts it as consumed whatever part of it was written: the resend
// sends it whole from the list, and the continuing scan must not send it a
// second time.
SendResult SendSegment(void*, PortSession& session, ScanCursor& cursor, SegmentKind kind) {
    TraceSegment(session, kind, cursor.pos, false);
    if (!WaitWhilePaused(session)) return SendResult::EndFalse;
    if (!StoreOnce(session, cursor.base(), cursor.pos)) {
        StopWithSystemError(session, "the page's segments cannot be kept");
        return SendResult::EndTrue;
    }
    if ((session.job.flags & PSF_RESET_ON_STOP) && kind == SEG_PAGE_END) MakePageCopy(session);

    switch (Transmit(session, cursor, kind, HandBack::ToSpooler)) {
        case Transmitted::Sent: break;
        case Transmitted::HeldBack:
            // In the list but not consumed: the bytes lead the next segment.
            session.job.data.storedAhead = cursor.pos;
            return SendResult::Continue;
        case Transmitted::HandedBack:
            // In the list but not written: it comes again with the next call.
            session.job.data.storedAhead = cursor.pos;
            return SendResult::EndTrue;
        case Transmitted::Failed:
            cursor.consumed += cursor.pos;
            cursor.pos = 0;
            session.job.data.storedAhead = 0;  // nothing unconsumed is in the list any more
            return SendResult::EndFalse;
    }
    // The page has printed: neither its segments nor its copy may go again.
    if (kind == SEG_PAGE_END) {
        ReleaseSegments(session);
        DiscardPageCopy(session);
    }
    return SendResult::Continue;
}

// A segment sent again from the segment list or the page copy, which keep
// it: nothing is stored, and its page end leaves both to the recovery, which
// is reading them.
SendResult ResendSegment(void*, PortSession& session, ScanCursor& cursor, SegmentKind kind) {
    TraceSegment(session, kind, cursor.pos, true);
    if (!WaitWhilePaused(session)) return SendResult::EndFalse;
    return Transmit(session, cursor, kind, HandBack::Never) == Transmitted::Failed
               ? SendResult::EndFalse
               : SendResult::Continue;
}

// A job information block: a block with new page or part numbers starts a
// new page (progress from zero and a status check). A fresh block also
// decides whether a stop resets the printer; a resent one leaves that as the
// page was first sent.
bool TakeBlock(PortSession& session, const u8* block, bool decidesResetOnStop) {
    JobInfoBlock& info = session.job.jobInfo;
    u16 oldPart = info.partIndex;
    u16 oldPage = info.pageNumber;
    std::memcpy(&info, block, JOB_INFO_SIZE);
    if (info.partCount == 0) {
        info.partCount = 1;
        info.partIndex = 1;
    }
    session.job.flags &= ~PSF_PAGE_ENDED;
    if (info.pageNumber == oldPage && info.partIndex == oldPart) return true;

    session.job.data.lastPercent = -1;
    session.job.data.pageBytesSent = 0;
    if (session.job.flags & PSF_SEND_MEDIA) {
        if (!SendMediaSettings(session)) return false;
        session.job.flags &= ~PSF_SEND_MEDIA;
    }
    if (decidesResetOnStop) {
        if (info.checkFlags & JIB_RESET_ON_STOP)
            session.job.flags |= PSF_RESET_ON_STOP;
        else
            session.job.flags &= ~PSF_RESET_ON_STOP;
    }
    session.job.flags |= PSF_NEW_JOB_INFO;
    if (!SendProgress(session, SEG_PLAIN)) return false;
    return SendNotify(session, NotifyPrinting);
}

bool TakeJobInfo(void*, PortSession& session, const u8* block) {
    return TakeBlock(session, block, true);
}
bool RetakeJobInfo(void*, PortSession& session, const u8* block) {
    return TakeBlock(session, block, false);
}

bool StoreBlock(void*, PortSession& session, const u8* data, u32 length) {
    return StoreSegment(session, data, length);
}
bool StoreNothing(void*, PortSession&, const u8*, u32) { return true; }

void StoreFailed(void*, PortSession& session) {
    StopWithSystemError(session, "the page's segments cannot be kept");
}

// The stream as the spooler gives it, and the stream sent again.
constexpr ScanSender SENDER = {nullptr, SendSegment, TakeJobInfo, StoreBlock, StoreFailed};
constexpr ScanSender RESENDER = {nullptr, ResendSegment, RetakeJobInfo, StoreNothing, StoreFailed};

}  // namespace

bool ScanStream(PortSession& session, u8* buffer, u32 length, u32& consumed, ScanMode mode) {
    return ScanStreamWith(session, buffer, length, consumed, SENDER, mode);
}

bool RescanStream(PortSession& session, u8* buffer, u32 length, u32& consumed, ScanMode mode) {
    return ScanStreamWith(session, buffer, length, consumed, RESENDER, mode);
}
