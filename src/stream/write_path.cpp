// WritePort and ReplayWrite: the carry buffer, the spool-file diversion of
// multi-copy jobs, the scan, and the recovery that resends a page.
#include "stream/write_path.h"

#include <windows.h>

#include <cstring>

#include "monitor/monitor_ops.h"
#include "monitor/process_state.h"
#include "monitor/trace.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "stream/scanner.h"
#include "stream/segment_list.h"
#include "stream/transmit.h"

namespace {

constexpr u32 RESEND_PIECE = 4096;
constexpr u8 MULTI_COPY_MARK = 0x3A;  // ':'

enum class Recovery { Stopped, Resent };

Recovery Stop(PortSession& session) {
    TraceJobStopped(session, "the page is not sent again");
    session.flags |= PSF_STOPPED;
    return Recovery::Stopped;
}

// The user cancelled: the printer is reset now, not only by the writes that
// may still come. There may be none: the answer can come to the job's last
// write, and the job end of a stopped job sends nothing.
Recovery StopCancelled(PortSession& session) {
    session.flags |= PSF_RESET_ON_STOP;
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
            if (!ScanStream(session, data + offset, piece, consumed,
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
    const SegmentNode* copy = session.pageCopy;
    u32 offset = 0;
    for (const SegmentNode* node = session.pageFirst; node != nullptr; node = node->next) {
        if (offset + node->length > copy->length ||
            std::memcmp(copy->data + offset, node->data, node->length) != 0)
            return false;
        offset += node->length;
    }
    return offset == copy->length;
}

// Run after the scanner failed: reports the state, waits for the user's
// answer, resets the printer and sends the page again.
Recovery ResumeAfterError(PortSession& session) {
    for (;;) {
        if (session.resetNeeded) {
            SendResetSequence(session);
            session.resetNeeded = 0;
        }
        // A failure that left no state of the printer (a port mutex that could
        // not be had) is reported as what it is to the user, a communication
        // failure, never as a notification no application knows.
        if (session.stateClass == STATE_NONE || session.stateClass == STATE_READY)
            SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
        if (session.stateClass == STATE_FATAL && session.stateCode == 0) return Stop(session);
        if (GetReplyState(session) == REPLY_CANCEL) return StopCancelled(session);
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
        if (reply == REPLY_CANCEL) return StopCancelled(session);

        session.restoreCutParam = 1;
        session.resumeAfterReply = 1;
        u8 zeros[PROGRESS_BLOCK_SIZE] = {};
        if (!SendNotify(session, NotifyProgress, zeros, sizeof zeros, true) ||
            !SendNotify(session, NotifyPrinting))
            return Stop(session);
        session.resetNeeded = 0;
        std::memset(&session.jobInfo, 0, sizeof session.jobInfo);
        SendResetSequence(session);
        session.rasterCount = 0;

        // Bytes held back in front of the unconsumed data are in the list but
        // not yet consumed; the continuing scan sends them.
        u32 totalStored = 0;
        for (SegmentNode* node = session.pageFirst; node != nullptr; node = node->next)
            totalStored += node->length;
        u32 resendLimit = totalStored > session.storedAhead ? totalStored - session.storedAhead : 0;
        session.storedAhead = 0;

        // With a page copy, the copy goes. When the copy is of an earlier page
        // than the one in flight, that page's segments follow it, so that none
        // of its consumed bytes is lost.
        session.flags |= PSF_RESENDING;
        bool resent = true;
        if (session.pageCopy != nullptr) {
            if (ListMatchesCopy(session)) resendLimit = 0;
            SegmentNode* copy = session.pageCopy;
            TraceResend(session, "page copy", copy->length);
            // The copy starts with its page's job information block; its page
            // number is cleared so that the page counts as new.
            if (copy->length >= JOB_INFO_PAGE_NUMBER_OFFSET + 2 &&
                std::memcmp(copy->data, JOB_INFO_INTRODUCER, 4) == 0)
                std::memcpy(copy->data + JOB_INFO_PAGE_NUMBER_OFFSET, &session.jobInfo.pageNumber, 2);
            resent = ResendNode(session, copy->data, copy->length);
        }
        TraceResend(session, "segment list", resendLimit);
        for (SegmentNode* node = session.pageFirst; node != nullptr && resendLimit > 0 && resent;
             node = node->next) {
            u32 n = node->length < resendLimit ? node->length : resendLimit;
            resendLimit -= n;
            resent = ResendNode(session, node->data, n);
        }
        session.flags &= ~PSF_RESENDING;
        if (!resent) continue;  // decide again on the new state pair
        ReleaseSegments(session);
        return Recovery::Resent;
    }
}

// Moves the unscanned tail to the front of the carry buffer (it may already
// be there). Only what fits is kept; the rest counts as not taken, so the
// spooler offers it again.
void KeepTail(PortSession& session, const u8* tail, u32 count, u32& written) {
    if (count > CARRY_BUFFER_SIZE) {
        written -= count - CARRY_BUFFER_SIZE;
        count = CARRY_BUFFER_SIZE;
    }
    if (count > 0) std::memmove(session.carryBuffer, tail, count);
    session.carryCount = count;
}

// A full carry buffer from which nothing could be scanned holds a command that
// can never complete: the job is stopped instead of stalling for ever. A
// segment held back by the port mutex is not such a case: it goes next time.
bool StallsForever(const PortSession& session, const u8* data, u32 n, u32 consumed) {
    return consumed == 0 && data == session.carryBuffer && n == CARRY_BUFFER_SIZE &&
           session.storedAhead == 0;
}

void StopOverlongCommand(PortSession& session) {
    TraceJobStopped(session, "a command longer than the carry buffer");
    SendNotify(session, NotifySystemError);
    SendResetSequence(session);
    session.flags |= PSF_STOPPED | PSF_RESET_ON_STOP;
    session.carryCount = 0;
}

// Multi-copy jobs go to a temporary file whole; the rebuild prints them at job
// end. A file that cannot be opened is not left behind in the temporary
// directory: GetTempFileNameA has already created it.
bool DivertToSpoolFile(PortSession& session) {
    session.spoolToFile = 1;
    if (session.spoolFilePath[0] == '\0') {
        char directory[SPOOL_PATH_SIZE] = {};
        GetTempPathA(SPOOL_PATH_SIZE, directory);
        GetTempFileNameA(directory, "QXTF", 0, session.spoolFilePath);
    }
    session.spoolFile = CreateFileA(session.spoolFilePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    TraceDivert(session);
    if (session.spoolFile == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (session.spoolFilePath[0] != '\0') DeleteFileA(session.spoolFilePath);
        SetLastError(error);
        session.spoolToFile = 0;
        return false;
    }
    return true;
}

// A spool file cut short (a full disk) could only be refused by the rebuild at
// the job end, after every write had been reported as taken: the job stops
// now, the user is told, and the spooler hears of the failure.
BOOL AppendToSpoolFile(PortSession& session, const u8* data, u32 n, u32& written) {
    DWORD stored = 0;
    BOOL ok = WriteFile(session.spoolFile, data, n, &stored, nullptr);
    if (ok && stored == n) return TRUE;
    DWORD error = ok ? ERROR_DISK_FULL : GetLastError();  // a short write is a full disk
    TraceJobStopped(session, "the spool file cannot take the data");
    SendNotify(session, NotifySystemError);
    session.flags |= PSF_STOPPED;
    CloseHandle(session.spoolFile);  // deletes it: there is nothing left to print
    session.spoolFile = INVALID_HANDLE_VALUE;
    written = 0;
    SetLastError(error);
    return FALSE;
}

// A stopped job's data is taken and dropped; with reset-on-stop every such
// call resets the printer again.
bool DroppedAsStopped(PortSession& session) {
    if (!(session.flags & PSF_STOPPED)) return false;
    if (session.flags & PSF_RESET_ON_STOP) SendResetSequence(session);
    return true;
}

// WritePort's steps from the choice of data on; the caller has handled the
// stopped job, the launch and sets written to length first.
BOOL WriteData(PortSession& session, u8* buffer, u32 length, u32& written, bool divertAllowed) {
    u8* data = buffer;
    u32 n = length;
    if (session.carryCount != 0) {
        u32 room = CARRY_BUFFER_SIZE - session.carryCount;
        u32 k = length < room ? length : room;
        std::memcpy(session.carryBuffer + session.carryCount, buffer, k);
        written = k;
        session.carryCount += k;
        data = session.carryBuffer;
        n = session.carryCount;
    }

    for (;;) {
        u32 consumed = 0;
        if (divertAllowed && !session.firstWriteSeen && n > 0 && data[0] == MULTI_COPY_MARK) {
            if (!DivertToSpoolFile(session)) {
                written = 0;  // nothing was taken: the spooler offers it again
                return FALSE;
            }
        }
        session.firstWriteSeen = 1;
        if (divertAllowed && session.spoolToFile) {
            if (data == session.carryBuffer) session.carryCount = 0;
            return AppendToSpoolFile(session, data, n, written);
        }

        bool scanned = ScanStream(session, data, n, consumed);
        session.printingPhase = 1;
        session.waitingPhase = 0;
        if (!scanned) {
            if (ResumeAfterError(session) == Recovery::Stopped) return TRUE;
            if (consumed != n) {
                data += consumed;
                n -= consumed;
                continue;
            }
        }
        if (session.flags & PSF_PAGE_ENDED) ReleaseSegments(session);
        if (!(session.flags & PSF_STOPPED) && StallsForever(session, data, n, consumed)) {
            StopOverlongCommand(session);
            return TRUE;
        }
        KeepTail(session, data + consumed, n - consumed, written);
        return TRUE;
    }
}

}  // namespace

WinBool QXL_WINAPI WritePort(Handle port, u8* buffer, u32 size, u32* written) {
    auto& session = *static_cast<PortSession*>(port);
    *written = size;
    if (!(session.flags & PSF_STARTED)) return FALSE;
    if (DroppedAsStopped(session)) return TRUE;
    if (session.flags & PSF_LAUNCH_STATMON) {
        int launched = LaunchStatusMonitor(session);
        if (launched != 2) return launched;
    }
    return WriteData(session, buffer, size, *written, true);
}

bool ReplayWrite(PortSession& session, u8* buffer, u32 length, u32& written) {
    written = length;
    if (!(session.flags & PSF_STARTED)) return false;
    if (DroppedAsStopped(session)) return true;
    return WriteData(session, buffer, length, written, false) != FALSE;
}

// A segment held back by the port mutex is offered again (storedAhead says
// so); only an incomplete command at the very end is dropped.
void FlushCarry(PortSession& session) {
    while (session.carryCount > 0 && (session.flags & PSF_STARTED) &&
           !(session.flags & PSF_STOPPED)) {
        u32 consumed = 0;
        if (!ScanStream(session, session.carryBuffer, session.carryCount, consumed,
                        ScanMode::EndOfStream)) {
            if (ResumeAfterError(session) == Recovery::Stopped) break;
        } else if (consumed == 0 && session.storedAhead == 0) {
            break;
        }
        u32 rest = session.carryCount - consumed;
        std::memmove(session.carryBuffer, session.carryBuffer + consumed, rest);
        session.carryCount = rest;
    }
    session.carryCount = 0;
}
