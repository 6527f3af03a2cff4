// The text of trace lines: a bounded line buffer, the line's prefix, and the
// names and layouts of what the trace shows. Platform-free, so that it is
// tested natively; the writing is in trace_sink.cpp.
#pragma once

#include <cstdarg>

#include "core/port_session.h"

// A whole line, its end of line included, is at most this many bytes; a
// longer one is cut and ends in TRACE_CUT_MARK.
constexpr u32 TRACE_LINE_SIZE = 256;
inline constexpr char TRACE_CUT_MARK[] = "...";
inline constexpr char TRACE_END_OF_LINE[] = "\r\n";
// Every line starts with this, so that lines of the monitor and of the status
// monitor application can share one file.
inline constexpr char TRACE_SOURCE[] = "qxlmon";
// Bytes of a status packet shown in hex: nothing of the job's own data.
constexpr u32 TRACE_PACKET_PREFIX = 12;

struct TraceLine {
    char text[TRACE_LINE_SIZE + 1];  // the line and its terminating zero
    u32 length;
    bool cut;
};

// Local time as the line shows it.
struct TraceTime {
    u16 year, month, day, hour, minute, second, milliseconds;
};

// Appends formatted text; what does not fit before the end of line is cut.
void TraceAppend(TraceLine& line, const char* format, ...) __attribute__((format(printf, 2, 3)));
void TraceAppendV(TraceLine& line, const char* format, va_list arguments);
// "qxlmon 2025-03-01 14:03:07.412 [1234] QXUSB001 " (port name "-" when null).
void TraceBegin(TraceLine& line, const TraceTime& time, u32 threadId, const char* portName);
// Ends the line with TRACE_END_OF_LINE, which always fits.
void TraceFinish(TraceLine& line);

// Names; null where the value has none.
const char* NotifyName(u32 code);
const char* StateName(i16 stateClass, i16 stateCode);
const char* SegmentKindName(i16 kind);
const char* PortTypeName(i16 portType);
const char* StatusTypeName(u8 statusType);
const char* ReplyName(u32 state);

// "printing", or "state (2,5)" for a state notification, or "0x12345".
void TraceAppendNotify(TraceLine& line, u32 code);
// "(2,5) printer error": the pair and its name.
void TraceAppendState(TraceLine& line, i16 stateClass, i16 stateCode);
// Status type, phase, error bytes, media, and the packet's first bytes in hex.
void TraceAppendPacket(TraceLine& line, const StatusPacket& packet);

// How a job ended, for its last line: TraceState::jobEnd.
constexpr u32 TRACE_END_OPEN = 0;
constexpr u32 TRACE_END_LAST_PAGE = 1;        // the last page went through
constexpr u32 TRACE_END_REBUILD_REFUSED = 2;  // a multi-copy job that could not be rebuilt
// "printed", "cancelled", "not printed" or "stopped", from the record at the job end.
const char* JobOutcome(const PortSession& session);
