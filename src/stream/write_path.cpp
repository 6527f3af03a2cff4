// WritePort and ReplayWrite: the carry buffer, the spool-file diversion of
// multi-copy jobs and the scan; the recovery is in recovery.cpp.
#include "stream/write_path.h"

#include <windows.h>

#include <cstring>

#include "core/printer_commands.h"
#include "core/process_state.h"
#include "core/scoped.h"
#include "core/trace.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "stream/recovery.h"
#include "stream/scanner.h"
#include "stream/segment_list.h"
#include "stream/transmit.h"

namespace {

// Moves the unscanned tail to the front of the carry buffer (it may already
// be there). Only what fits is kept; the rest counts as not taken, so the
// spooler offers it again.
void KeepTail(PortSession& session, const u8* tail, u32 count, u32& written) {
    if (count > CARRY_BUFFER_SIZE) {
        written -= count - CARRY_BUFFER_SIZE;
        count = CARRY_BUFFER_SIZE;
    }
    if (count > 0) std::memmove(session.job.data.carryBuffer, tail, count);
    session.job.data.carryCount = count;
}

// A full carry buffer from which nothing could be scanned holds a command that
// can never complete: the job is stopped instead of stalling for ever. A
// segment held back by the port mutex is not such a case: it goes next time.
bool StallsForever(const PortSession& session, const u8* data, u32 n, u32 consumed) {
    return consumed == 0 && data == session.job.data.carryBuffer && n == CARRY_BUFFER_SIZE &&
           session.job.data.storedAhead == 0;
}

void StopOverlongCommand(PortSession& session) {
    StopWithSystemError(session, "a command longer than the carry buffer");
    session.job.flags |= PSF_RESET_ON_STOP;
    session.job.data.carryCount = 0;
}

// Multi-copy jobs go to a temporary file whole; the rebuild prints them at job
// end. The file's name is kept, so the next write tries the same one again.
bool DivertToSpoolFile(PortSession& session) {
    session.job.spool.active = true;
    session.job.spool.file = OpenTemporaryFile(session.job.spool.path);
    TraceDivert(session);
    if (session.job.spool.file == INVALID_HANDLE_VALUE) {
        session.job.spool.active = false;
        return false;
    }
    return true;
}

// A spool file cut short (a full disk) could only be refused by the rebuild at
// the job end, after every write had been reported as taken: the job stops
// now, the user is told, and the spooler hears of the failure.
bool AppendToSpoolFile(PortSession& session, const u8* data, u32 n, u32& written) {
    DWORD stored = 0;
    bool ok = WriteFile(session.job.spool.file, data, n, &stored, nullptr) != FALSE;
    if (ok && stored == n) return true;
    if (ok) SetLastError(ERROR_DISK_FULL);  // a short write is a full disk
    KeepLastError keep;
    TraceJobStopped(session, "the spool file cannot take the data");
    SendNotify(session, NotifySystemError);
    session.job.flags |= PSF_STOPPED;
    CloseHandle(session.job.spool.file);  // deletes it: there is nothing left to print
    session.job.spool.file = INVALID_HANDLE_VALUE;
    written = 0;
    return false;
}

// A stopped job's data is taken and dropped; with reset-on-stop every such
// call resets the printer again.
bool DroppedAsStopped(PortSession& session) {
    if (!(session.job.flags & PSF_STOPPED)) return false;
    if (session.job.flags & PSF_RESET_ON_STOP) SendResetSequence(session);
    return true;
}

// WritePort's steps from the choice of data on; the caller has handled the
// stopped job, the launch and sets written to length first.
bool WriteData(PortSession& session, u8* buffer, u32 length, u32& written, bool divertAllowed) {
    u8* data = buffer;
    u32 n = length;
    if (session.job.data.carryCount != 0) {
        u32 room = CARRY_BUFFER_SIZE - session.job.data.carryCount;
        u32 k = length < room ? length : room;
        std::memcpy(session.job.data.carryBuffer + session.job.data.carryCount, buffer, k);
        written = k;
        session.job.data.carryCount += k;
        data = session.job.data.carryBuffer;
        n = session.job.data.carryCount;
    }

    for (;;) {
        u32 consumed = 0;
        if (divertAllowed && !session.job.spool.firstWriteSeen && n > 0 &&
            data[0] == MULTI_COPY_MARK) {
            if (!DivertToSpoolFile(session)) {
                written = 0;  // nothing was taken: the spooler offers it again
                return false;
            }
        }
        if (n > 0) session.job.spool.firstWriteSeen = true;  // only bytes decide what the job is
        if (divertAllowed && session.job.spool.active) {
            if (data == session.job.data.carryBuffer) session.job.data.carryCount = 0;
            return AppendToSpoolFile(session, data, n, written);
        }

        bool scanned = ScanStream(session, data, n, consumed);
        session.job.link.phase = ShownPhase::Printing;
        if (!scanned) {
            if (ResumeAfterError(session) == Recovery::Stopped) return true;
            if (consumed != n) {
                data += consumed;
                n -= consumed;
                continue;
            }
        }
        if (session.job.flags & PSF_PAGE_ENDED) ReleaseSegments(session);
        if (!(session.job.flags & PSF_STOPPED) && StallsForever(session, data, n, consumed)) {
            StopOverlongCommand(session);
            return true;
        }
        KeepTail(session, data + consumed, n - consumed, written);
        return true;
    }
}

}  // namespace

HANDLE OpenTemporaryFile(char path[SPOOL_PATH_SIZE]) {
    if (path[0] == '\0') {
        char directory[SPOOL_PATH_SIZE] = {};
        GetTempPathA(SPOOL_PATH_SIZE, directory);
        GetTempFileNameA(directory, TEMPORARY_FILE_PREFIX, 0, path);
    }
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE && path[0] != '\0') {
        KeepLastError keep;
        DeleteFileA(path);
    }
    return file;
}

WinBool QXL_WINAPI WritePort(Handle port, u8* buffer, u32 size, u32* written) {
    auto& session = *static_cast<PortSession*>(port);
    *written = size;
    if (!(session.job.flags & PSF_STARTED)) return FALSE;
    if (DroppedAsStopped(session)) return TRUE;
    if (session.job.flags & PSF_LAUNCH_STATMON) {
        LaunchResult launched = LaunchStatusMonitor(session);
        if (launched != LAUNCH_LINKED) return launched == LAUNCH_DROPPED;
    }
    return WriteData(session, buffer, size, *written, true) ? TRUE : FALSE;
}

bool ReplayWrite(PortSession& session, u8* buffer, u32 length, u32& written) {
    written = length;
    if (!(session.job.flags & PSF_STARTED)) return false;
    if (DroppedAsStopped(session)) return true;
    return WriteData(session, buffer, length, written, false);
}

// A segment held back by the port mutex is offered again (storedAhead says
// so); only an incomplete command at the very end is dropped.
void FlushCarry(PortSession& session) {
    while (session.job.data.carryCount > 0 && (session.job.flags & PSF_STARTED) &&
           !(session.job.flags & PSF_STOPPED)) {
        u32 consumed = 0;
        if (!ScanStream(session, session.job.data.carryBuffer, session.job.data.carryCount,
                        consumed, ScanMode::EndOfStream)) {
            if (ResumeAfterError(session) == Recovery::Stopped) break;
        } else if (consumed == 0 && session.job.data.storedAhead == 0) {
            break;
        }
        u32 rest = session.job.data.carryCount - consumed;
        std::memmove(session.job.data.carryBuffer, session.job.data.carryBuffer + consumed, rest);
        session.job.data.carryCount = rest;
    }
    session.job.data.carryCount = 0;
}
