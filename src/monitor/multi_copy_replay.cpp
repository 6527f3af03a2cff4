// The job end of a multi-copy job: the spool file is rebuilt into its copies
// and page order in a second temporary file, which is fed to the data path.
#include <windows.h>

#include "core/trace.h"
#include "monitor/job_end.h"
#include "rebuild/rebuild_file.h"
#include "statmon/notify.h"
#include "stream/write_path.h"

namespace {

constexpr DWORD REPLAY_PIECE = 4096;

}  // namespace

// Feeds the rebuilt job to the data path in pieces of at most 4096 bytes, read
// from the file as they go, so that a job of many copies never has to fit in
// memory at once. A piece taken only in part is followed by its rest. A piece
// refused outright ends the replay rather than being offered for ever, and so
// does a stopped job: the rest would only be dropped, each piece resetting
// the printer again.
void ReplayFile(PortSession& session, HANDLE file, ReplayWriter writer) {
    u8 piece[REPLAY_PIECE];
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    for (;;) {
        DWORD length = 0;
        if (!ReadFile(file, piece, REPLAY_PIECE, &length, nullptr) || length == 0) return;
        DWORD offset = 0;
        while (offset < length) {
            u32 accepted = 0;
            bool ok = writer(session, piece + offset, length - offset, accepted);
            if (accepted > length - offset) accepted = length - offset;
            if (!ok && accepted == 0) return;
            if (session.job.flags & PSF_STOPPED) return;
            offset += accepted;
        }
    }
}

void ReplaySpooledJob(PortSession& session) {
    if (!session.job.spool.active || session.job.spool.file == INVALID_HANDLE_VALUE ||
        session.job.spool.file == nullptr)
        return;
    char path[SPOOL_PATH_SIZE] = {};
    HANDLE rebuilt = OpenTemporaryFile(path);
    if (rebuilt != INVALID_HANDLE_VALUE) {
        SetFilePointer(session.job.spool.file, 0, nullptr, FILE_BEGIN);
        bool rebuiltJob = RebuildMultiCopyJob(session.job.spool.file, rebuilt);
        TraceRebuild(session, session.job.spool.file, rebuilt, rebuiltJob);
        if (rebuiltJob) {
            ReplayFile(session, rebuilt, ReplayWrite);
        } else if (session.job.link.monitorWindow != nullptr) {
            // Not a job that can be printed: the user learns why nothing came out.
            SendNotify(session, NotifySystemError);
        }
        CloseHandle(rebuilt);  // deletes it
    }
    CloseHandle(session.job.spool.file);  // deletes the spool file too
    session.job.spool.file = INVALID_HANDLE_VALUE;
}
