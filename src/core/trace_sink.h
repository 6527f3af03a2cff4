// Where trace lines go, shared by the trace's event files.
#pragma once

#include <windows.h>

#include "core/scoped.h"
#include "core/trace_format.h"

// A line for the record: time, thread and port, then the text.
void TraceStartLine(TraceLine& line, const PortSession& session);
// Ends the line and writes it with one call, to the record's file or else the
// debug output. A file that refuses a line is given up for the record.
void TraceWriteLine(PortSession& session, TraceLine& line);
// A port monitor failure like the one just written, with no other line
// between: counted, and said with the next line.
bool TraceRepeatedFailure(PortSession& session, const char* call, u32 error);
// Writes the line of a port monitor failure and remembers it.
void TraceWriteFailureLine(PortSession& session, const char* call, u32 error, TraceLine& line);
// Both, with one formatted text.
void TraceSay(PortSession& session, const char* format, ...) __attribute__((format(printf, 2, 3)));
// "error 5 (Access denied)", with the port monitor's own two errors by name.
void TraceAppendError(TraceLine& line, u32 error);
// The last line of a record, and the end of its trace file.
void TraceLastLine(PortSession& session, TraceLine& line);

// A line for a thread that may find the record freed once it leaves
// monitorLock (the connect thread): formatted under the lock with a handle of
// its own on the record's file, written after the lock is left, so that a
// slow trace file holds no other port.
struct HeldTraceLine {
    TraceLine line;
    HANDLE file = nullptr;  // the record's file, duplicated; null: the debug output
    bool due = false;
};
void TraceHold(PortSession& session, TraceLine& line, HeldTraceLine& held);
void TraceWriteHeld(HeldTraceLine& held);
