// The trace's lines, one per event of a port and its job.
#include <windows.h>

#include "monitor/port_monitor.h"
#include "monitor/trace.h"
#include "monitor/trace_sink.h"
#include "rebuild/spool_file.h"
#include "rebuild/tape_table.h"
#include "statmon/notify.h"

namespace {

const char* OrNumber(const char* name) { return name != nullptr ? name : "?"; }

struct SpoolSummary {
    u32 size = 0;
    u32 records = 0;
    SpoolRecordHeader first{};
};

bool ReadAt(HANDLE file, u32 offset, void* buffer, u32 size) {
    DWORD read = 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
           ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// The job's shape from its record headers alone, as the rebuild reads them;
// the walk stops at the first header that is not a whole record.
SpoolSummary SummariseSpoolFile(HANDLE file) {
    SpoolSummary summary;
    DWORD high = 0;
    summary.size = GetFileSize(file, &high);
    if (summary.size == INVALID_FILE_SIZE || high != 0) return SpoolSummary{};
    u8 header[SPOOL_HEADER_SIZE];
    if (summary.size < SPOOL_HEADER_SIZE || !ReadAt(file, 0, header, sizeof header)) return summary;
    summary.first = ReadSpoolHeader(header, 0);
    u32 offset = 0;
    u32 sizes[2] = {};
    while (summary.size - offset >= SPOOL_HEADER_SIZE && ReadAt(file, offset, sizes, sizeof sizes) &&
           sizes[0] == SPOOL_HEADER_SIZE && sizes[1] >= SPOOL_HEADER_SIZE &&
           sizes[1] <= summary.size - offset) {
        offset += sizes[1];
        ++summary.records;
    }
    return summary;
}

}  // namespace

void TracePortOpenedLine(PortSession& session) {
    if (session.portType == PORTTYPE_PARALLEL)
        TraceSay(session, "open: parallel port LPT%u", session.lptNumber);
    else
        TraceSay(session, "open: %s port", OrNumber(PortTypeName(session.portType)));
}

void TracePortOpenFailedLine(PortSession& session, u32 error) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "open failed: port monitor's OpenPort ");
    TraceAppendError(line, error);
    TraceLastLine(session, line);
}

void TracePortClosedLine(PortSession& session) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "close");
    TraceLastLine(session, line);
}

void TraceJobRefusedLine(PortSession& session, const char* reason, u32 error) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "job start refused: %s, ", reason);
    TraceAppendError(line, error);
    TraceWriteLine(session, line);
}

void TraceJobStartLine(PortSession& session) {
    TraceSay(session,
             "job %u start: printer \"%s\", %s port, status timeout %u ms, print timeout %u ms, "
             "LanSleep %u ms",
             static_cast<unsigned>(session.jobId),
             session.printerName != nullptr ? session.printerName : "",
             OrNumber(PortTypeName(session.portType)), static_cast<unsigned>(session.statusTimeout),
             static_cast<unsigned>(session.printTimeout), static_cast<unsigned>(session.lanSleep));
}

void TraceJobStoppedLine(PortSession& session, const char* reason) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "job stopped: %s, state ", reason);
    TraceAppendState(line, session.stateClass, session.stateCode);
    if (const char* reply = ReplyName(GetReplyState(session))) TraceAppend(line, ", reply %s", reply);
    TraceWriteLine(session, line);
}

void TraceJobEndLine(PortSession& session) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    const char* outcome = JobOutcome(session);
    TraceAppend(line, "job %u end: %s", static_cast<unsigned>(session.jobId), outcome);
    if (outcome[0] == 's') {  // stopped: with the state that stopped it
        TraceAppend(line, ", state ");
        TraceAppendState(line, session.stateClass, session.stateCode);
    }
    TraceWriteLine(session, line);
}

void TraceCallFailedLine(PortSession& session, const char* call) {
    LastErrorKeeper keep;
    if (keep.error == ERROR_COUNTER_TIMEOUT_CODE) return;  // no data yet: the readers wait on
    if (TraceRepeatedFailure(session, call, keep.error)) return;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "port monitor's %s failed: ", call);
    TraceAppendError(line, keep.error);
    TraceWriteFailureLine(session, call, keep.error, line);
}

void TraceSegmentLine(PortSession& session, i16 kind, u32 length) {
    TraceSay(session, "segment: %s, %u bytes, page %u%s", OrNumber(SegmentKindName(kind)),
             static_cast<unsigned>(length), session.jobInfo.pageNumber,
             (session.flags & PSF_RESENDING) ? ", resent" : "");
}

void TraceLastPageLine(PortSession& session) {
    session.trace.jobEnd = TRACE_END_LAST_PAGE;
    TraceSay(session, "last page printed");
}

void TraceStatusLine(PortSession& session, const StatusPacket& packet) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "status: ");
    TraceAppendPacket(line, packet);
    TraceWriteLine(session, line);
}

void TraceNotifyLine(PortSession& session, u32 code, u32 blockNumber, bool repeat) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "notify: ");
    TraceAppendNotify(line, code);
    if (blockNumber != 0) TraceAppend(line, ", block %08x", static_cast<unsigned>(blockNumber));
    if (repeat) TraceAppend(line, ", a repeat: not sent");
    TraceWriteLine(session, line);
}

void TraceReplyLine(PortSession& session, u32 state) {
    const char* name = ReplyName(state);
    if (name != nullptr)
        TraceSay(session, "reply: %s", name);
    else
        TraceSay(session, "reply: state %u", static_cast<unsigned>(state));
}

void TraceResetLine(PortSession& session) { TraceSay(session, "reset sequence sent"); }

void TraceResendLine(PortSession& session, const char* source, u32 bytes) {
    TraceSay(session, "resend: from the %s, %u bytes", source, static_cast<unsigned>(bytes));
}

void TraceDivertLine(PortSession& session) {
    LastErrorKeeper keep;
    TraceLine line;
    TraceStartLine(line, session);
    if (session.spoolFile == INVALID_HANDLE_VALUE || session.spoolFile == nullptr) {
        TraceAppend(line, "multi-copy job: spool file cannot be made, ");
        TraceAppendError(line, keep.error);
    } else {
        TraceAppend(line, "multi-copy job: stored in %s until the job end", session.spoolFilePath);
    }
    TraceWriteLine(session, line);
}

void TraceRebuildLine(PortSession& session, HANDLE spoolFile, HANDLE rebuilt, BOOL rebuiltJob) {
    LastErrorKeeper keep;
    if (!rebuiltJob) session.trace.jobEnd = TRACE_END_REBUILD_REFUSED;
    SpoolSummary spool = SummariseSpoolFile(spoolFile);
    u32 pieces = 0;
    LookupTapeWidth(spool.first.mediaType, spool.first.paperId, &pieces);
    u32 rebuiltBytes = rebuiltJob ? GetFileSize(rebuilt, nullptr) : 0;
    TraceSay(session,
             "rebuild %s: %u records, %u pieces per record, %d copies, %s, %s order, %u bytes spooled, "
             "%u bytes rebuilt",
             rebuiltJob ? "done" : "refused, nothing printed", static_cast<unsigned>(spool.records),
             static_cast<unsigned>(pieces), spool.first.copies,
             spool.first.collate ? "collated" : "uncollated",
             spool.first.reverseOrder ? "reverse" : "forward", static_cast<unsigned>(spool.size),
             static_cast<unsigned>(rebuiltBytes));
}
