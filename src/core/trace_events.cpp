// The trace's lines, one per event of a port and its job.
#include <windows.h>

#include "core/port_monitor.h"
#include "core/printer_states.h"
#include "core/process_state.h"
#include "core/trace.h"
#include "core/trace_sink.h"

namespace {

const char* OrNumber(const char* name) { return name != nullptr ? name : "?"; }

}  // namespace

void TracePortOpenedLine(PortSession& session) {
    if (session.portType == PORTTYPE_PARALLEL)
        TraceSay(session, "open: parallel port LPT%u", session.lptNumber);
    else
        TraceSay(session, "open: %s port", OrNumber(PortTypeName(session.portType)));
}

void TracePortOpenFailedLine(PortSession& session, u32 error) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "open failed: port monitor's OpenPort ");
    TraceAppendError(line, error);
    TraceLastLine(session, line);
}

void TracePortClosedLine(PortSession& session) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "close");
    TraceLastLine(session, line);
}

void TraceJobRefusedLine(PortSession& session, const char* reason, u32 error) {
    KeepLastError keep;
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
             static_cast<unsigned>(session.job.jobId),
             session.job.printerName != nullptr ? session.job.printerName : "",
             OrNumber(PortTypeName(session.portType)),
             static_cast<unsigned>(session.job.status.statusTimeout),
             static_cast<unsigned>(session.job.status.printTimeout),
             static_cast<unsigned>(session.job.data.lanSleep));
}

void TraceJobStoppedLine(PortSession& session, const char* reason) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "job stopped: %s, state ", reason);
    TraceAppendState(line, session.stateClass, session.stateCode);
    u32 replyState = 0;
    {
        MonitorLockGuard lock;  // the reply state is read under the lock, as everywhere
        replyState = session.job.link.replyState;
    }
    if (const char* reply = ReplyName(replyState)) TraceAppend(line, ", reply %s", reply);
    TraceWriteLine(session, line);
}

void TraceJobEndLine(PortSession& session) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    const char* outcome = JobOutcome(session);
    TraceAppend(line, "job %u end: %s", static_cast<unsigned>(session.job.jobId), outcome);
    if (outcome[0] == 's') {  // stopped: with the state that stopped it
        TraceAppend(line, ", state ");
        TraceAppendState(line, session.stateClass, session.stateCode);
    }
    TraceWriteLine(session, line);
}

void TraceCallFailedLine(PortSession& session, const char* call) {
    KeepLastError keep;
    if (keep.error == ERROR_COUNTER_TIMEOUT_CODE) return;  // no data yet: the readers wait on
    if (TraceRepeatedFailure(session, call, keep.error)) return;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "port monitor's %s failed: ", call);
    TraceAppendError(line, keep.error);
    TraceWriteFailureLine(session, call, keep.error, line);
}

void TraceSegmentLine(PortSession& session, i16 kind, u32 length, bool resent) {
    TraceSay(session, "segment: %s, %u bytes, page %u%s", OrNumber(SegmentKindName(kind)),
             static_cast<unsigned>(length), session.job.jobInfo.pageNumber,
             resent ? ", resent" : "");
}

void TraceLastPageLine(PortSession& session) {
    session.trace.jobEnd = TRACE_END_LAST_PAGE;
    TraceSay(session, "last page printed");
}

void TraceStatusLine(PortSession& session, const StatusPacket& packet) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "status: ");
    TraceAppendPacket(line, packet);
    TraceWriteLine(session, line);
}

void TraceNotifyLine(PortSession& session, u32 code, u32 blockNumber, bool repeat) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "notify: ");
    TraceAppendNotify(line, code);
    if (blockNumber != 0) TraceAppend(line, ", block %08x", static_cast<unsigned>(blockNumber));
    if (repeat) TraceAppend(line, ", a repeat: not sent");
    TraceWriteLine(session, line);
}

void TraceReplyLine(PortSession& session, u32 state, HeldTraceLine& held) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    if (const char* name = ReplyName(state))
        TraceAppend(line, "reply: %s", name);
    else
        TraceAppend(line, "reply: state %u", static_cast<unsigned>(state));
    TraceHold(session, line, held);
}

void TraceResetLine(PortSession& session) { TraceSay(session, "reset sequence sent"); }

void TracePortStatusLine(PortSession& session, u32 status, const char* text, u32 severity) {
    if (status == 0 && text == nullptr) {
        TraceSay(session, "port status: cleared");
        return;
    }
    const char* name = PortStatusName(status);
    const char* weight = PortSeverityName(severity);
    if (name != nullptr)
        TraceSay(session, "port status: %s, %s", name, weight != nullptr ? weight : "?");
    else
        TraceSay(session, "port status: \"%s\", %s", text != nullptr ? text : "",
                 weight != nullptr ? weight : "?");
}

void TracePortStatusFailedLine(PortSession& session, u32 error) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "spooler's SetPort failed: ");
    TraceAppendError(line, error);
    TraceAppend(line, "; Windows does not show the port's status in this job");
    TraceWriteLine(session, line);
}

void TracePrinterSilentLine(PortSession& session) {
    TraceSay(session, "print cycle: nothing from the printer for %u ms, status requested",
             static_cast<unsigned>(session.job.status.printTimeout));
}

void TraceResendLine(PortSession& session, const char* source, u32 bytes) {
    TraceSay(session, "resend: from the %s, %u bytes", source, static_cast<unsigned>(bytes));
}

void TraceDivertLine(PortSession& session) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    if (session.job.spool.file == INVALID_HANDLE_VALUE || session.job.spool.file == nullptr) {
        TraceAppend(line, "multi-copy job: spool file cannot be made, ");
        TraceAppendError(line, keep.error);
    } else {
        TraceAppend(line, "multi-copy job: stored in %s until the job end", session.job.spool.path);
    }
    TraceWriteLine(session, line);
}
