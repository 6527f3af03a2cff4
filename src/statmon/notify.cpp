// SendNotify: the one way notifications reach the status monitor application.
#include "statmon/notify.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/process_state.h"
#include "core/trace.h"
#include "core/wait_bounds.h"
#include "statmon/launch.h"

namespace {

void MarkUnreachable(PortSession& session) {
    session.job.resetNeeded = true;
    SetState(session, STATE_FATAL, 0);
}

// A block number of another job whose block still lives (two jobs at once,
// one application slow to handle its message) is passed over for the next.
constexpr int BLOCK_NAME_TRIES = 16;

// The named, paging-file backed block of exactly size bytes holding the data,
// under a name no other block has now; null when it cannot be made or filled.
HANDLE MakeBlock(const PortSession& session, const void* data, u32 size, u32& number) {
    HANDLE mapping = nullptr;
    for (int i = 0; i < BLOCK_NAME_TRIES && mapping == nullptr; ++i) {
        number = NextBlockNumber(session);
        char name[16];
        FormatBlockName(number, name);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
        if (mapping == nullptr) return nullptr;
        if (GetLastError() ==
            ERROR_ALREADY_EXISTS) {  // another job's block: its data must stay its own
            CloseHandle(mapping);
            mapping = nullptr;
        }
    }
    if (mapping == nullptr) return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size);
    if (view == nullptr) {  // an unfilled block would carry zeros as if they were data
        CloseHandle(mapping);
        return nullptr;
    }
    std::memcpy(view, data, size);
    UnmapViewOfFile(view);
    return mapping;
}

}  // namespace

bool SendToApplication(WindowHandle window, u32 code, u32 lParam) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(static_cast<HWND>(window), WM_STATMON, code,
                               static_cast<LPARAM>(lParam), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               g_waitBounds.notifyMs, &result) != 0;
}

u32 NextBlockNumber(const PortSession& session) {
    return session.job.ownerThreadId + NextBlockCounter();
}

void FormatBlockName(u32 blockNumber, char name[16]) {
    std::snprintf(name, 16, BLOCK_NAME_FORMAT, static_cast<unsigned>(blockNumber));
}

bool SendNotify(PortSession& session, u32 code, const void* data, u32 size, bool withBlock) {
    // The application has heard the job's end and is on its way out: what the
    // bytes after the last page end bring is of no use to it.
    if (session.job.link.jobEndTold) return true;
    if (session.job.link.monitorWindow == nullptr && FindMonitorWindow(session) == nullptr) {
        MarkUnreachable(session);
        return false;
    }

    HANDLE block = nullptr;
    u32 blockNumber = 0;  // lParam: the block's number, 0 without one
    if (withBlock) {
        u32 number = 0;
        block = MakeBlock(session, data, size, number);
        if (block == nullptr) {
            SendToApplication(session.job.link.monitorWindow, NotifySystemError, 0);
            MarkUnreachable(session);
            return false;
        }
        blockNumber = number;
    }

    bool awaitsAnswer = IsStateNotification(code);
    if (awaitsAnswer) {
        MonitorLockGuard lock;
        session.job.link.replyState = REPLY_AWAITED;  // also when the repeat is dropped below
    }
    bool repeat = false;
    if (awaitsAnswer || NotifyClass(code) == NOTIFY_CLASS_PHASE) {
        repeat = code == session.job.link.lastNotifyCode;
        if (!repeat) session.job.link.lastNotifyCode = code;
    }
    TraceNotify(session, code, blockNumber, repeat);
    bool taken = true;
    if (!repeat) {
        // Reset first: a reply made while the application handles this sets it again.
        if (session.job.link.replyEvent != nullptr) ResetEvent(session.job.link.replyEvent);
        taken = SendToApplication(session.job.link.monitorWindow, code, blockNumber);
    }
    if (block != nullptr) CloseHandle(block);  // the block lives only through the send
    // An application that has gone, or hangs past the bound, can no longer
    // answer: the job is cancelled as when its window cannot be found. At the
    // job's end nothing is left to cancel: one that exits as it is told is
    // doing what it should.
    if (code == NotifyJobEnd)
        session.job.link.jobEndTold = true;
    else if (!taken)
        MarkUnreachable(session);
    return taken;
}

u32 GetReplyState(PortSession& session) {
    MonitorLockGuard lock;
    return session.job.link.replyState;
}
