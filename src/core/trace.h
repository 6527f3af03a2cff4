// The diagnostic trace for the field: one line per event of a port and its job,
// appended to the driver's "TraceFile" or sent to the debug output, switched
// on by the driver's "Trace" value at every job start. Each event below is an
// inline test of the record's switch; with the trace off nothing else runs.
// A trace never changes what the monitor does: its failures are dropped and
// every call leaves the thread's last error as it found it.
#pragma once

#include <windows.h>

#include "core/port_session.h"
#include "core/trace_sink.h"

constexpr u32 TRACE_PATH_SIZE = MAX_PATH;

// The driver's trace values, read with its other settings.
struct TraceSettings {
    u32 on = 0;                       // "Trace": any value but 0 switches it on
    char file[TRACE_PATH_SIZE] = {};  // "TraceFile": empty for the debug output
};

// "TraceFile" (REG_SZ, or REG_EXPAND_SZ with its variables expanded); a value
// that does not fit or is of another type leaves it empty.
void ReadTraceFile(HKEY settingsKey, TraceSettings& settings);

// Job start: the record's trace from now until the next job start or its
// close, and the process's switch for ports opened from now on.
void StartTrace(PortSession& session, const TraceSettings& settings);
// Port open: a new record traces as the process's last job start did.
void InheritTrace(PortSession& session);

// Out-of-line halves of the events; called only while the trace is on.
void TracePortOpenedLine(PortSession& session);
void TracePortOpenFailedLine(PortSession& session, u32 error);
void TracePortClosedLine(PortSession& session);
void TraceJobRefusedLine(PortSession& session, const char* reason, u32 error);
void TraceJobStartLine(PortSession& session);
void TraceJobStoppedLine(PortSession& session, const char* reason);
void TraceJobEndLine(PortSession& session);
void TraceCallFailedLine(PortSession& session, const char* call);
void TraceSegmentLine(PortSession& session, i16 kind, u32 length, bool resent);
void TraceLastPageLine(PortSession& session);
void TraceStatusLine(PortSession& session, const StatusPacket& packet);
void TraceNotifyLine(PortSession& session, u32 code, u32 blockNumber, bool repeat);
void TraceReplyLine(PortSession& session, u32 state, HeldTraceLine& held);
void TraceResetLine(PortSession& session);
void TraceResendLine(PortSession& session, const char* source, u32 bytes);
void TraceDivertLine(PortSession& session);
void TracePrinterSilentLine(PortSession& session);
void TracePortStatusLine(PortSession& session, u32 status, const char* text, u32 severity);
void TracePortStatusFailedLine(PortSession& session, u32 error);

inline void TracePortOpened(PortSession& s) {
    if (s.trace.on) TracePortOpenedLine(s);
}
// The record is about to be freed: its trace file is closed too.
inline void TracePortOpenFailed(PortSession& s, u32 error) {
    if (s.trace.on) TracePortOpenFailedLine(s, error);
}
inline void TracePortClosed(PortSession& s) {
    if (s.trace.on) TracePortClosedLine(s);
}
// A job start refused by the port monitor: traced as the driver's settings say.
inline void TraceJobRefused(PortSession& s, const TraceSettings& settings, const char* reason,
                            u32 error) {
    StartTrace(s, settings);
    if (s.trace.on) TraceJobRefusedLine(s, reason, error);
}
inline void TraceJobStart(PortSession& s) {
    if (s.trace.on) TraceJobStartLine(s);
}
inline void TraceJobStopped(PortSession& s, const char* reason) {
    if (s.trace.on) TraceJobStoppedLine(s, reason);
}
inline void TraceJobEnd(PortSession& s) {
    if (s.trace.on) TraceJobEndLine(s);
}
// Passes a port monitor call's result through; a failure is traced with its
// last error (a read that only found no data yet is not a failure).
inline bool TraceIfFailed(PortSession& s, const char* call, bool ok) {
    if (!ok && s.trace.on) TraceCallFailedLine(s, call);
    return ok;
}
inline void TraceSegment(PortSession& s, i16 kind, u32 length, bool resent) {
    if (s.trace.on) TraceSegmentLine(s, kind, length, resent);
}
inline void TraceLastPage(PortSession& s) {
    if (s.trace.on) TraceLastPageLine(s);
}
inline void TraceStatus(PortSession& s, const StatusPacket& p) {
    if (s.trace.on) TraceStatusLine(s, p);
}
// Before the send: a reply made while the application handles it comes after.
inline void TraceNotify(PortSession& s, u32 code, u32 block, bool repeat) {
    if (s.trace.on) TraceNotifyLine(s, code, block, repeat);
}
// Under monitorLock, on the connect thread: the line is written by TraceWriteHeld
// once the lock is left.
inline void TraceReply(PortSession& s, u32 state, HeldTraceLine& held) {
    if (s.trace.on) TraceReplyLine(s, state, held);
}
inline void TraceReset(PortSession& s) {
    if (s.trace.on) TraceResetLine(s);
}
inline void TraceResend(PortSession& s, const char* source, u32 bytes) {
    if (s.trace.on) TraceResendLine(s, source, bytes);
}
// After the spool file's creation: where a multi-copy job goes, or why not.
inline void TraceDivert(PortSession& s) {
    if (s.trace.on) TraceDivertLine(s);
}
// The print cycle went quiet for "Print Timeout": the printer is asked.
inline void TracePrinterSilent(PortSession& s) {
    if (s.trace.on) TracePrinterSilentLine(s);
}
// What the spooler's SetPort is asked to show for the port, and its one failure a job.
inline void TracePortStatus(PortSession& s, u32 status, const char* text, u32 severity) {
    if (s.trace.on) TracePortStatusLine(s, status, text, severity);
}
inline void TracePortStatusFailed(PortSession& s, u32 error) {
    if (s.trace.on) TracePortStatusFailedLine(s, error);
}
