// The record kept for each open port and the job on it. Platform-free so that
// the scanner, decode and progress code can be built and tested natively.
#pragma once

#include "core/monitor_table.h"
#include "core/status_packet.h"
#include "core/job_info.h"

// flags
constexpr u32 PSF_BUSY = 0x1;
constexpr u32 PSF_STARTED = 0x40;
constexpr u32 PSF_LAUNCH_STATMON = 0x100;
constexpr u32 PSF_SEND_MEDIA = 0x400;
constexpr u32 PSF_STOPPED = 0x800;
constexpr u32 PSF_NEW_JOB_INFO = 0x4000;
constexpr u32 PSF_PAGE_ENDED = 0x10000;
constexpr u32 PSF_RESET_ON_STOP = 0x20000;
constexpr u32 PSF_PAUSED = 0x40000;
constexpr u32 PSF_RESENDING = 0x80000;
constexpr u32 PSF_COMPRESSED = 0x100000;

// Bits a new job keeps from the one before: it clears PSF_STARTED, the unused
// 0x200 and every job bit from PSF_STOPPED to PSF_COMPRESSED, and keeps the
// launch and media bits an earlier job may have left set.
constexpr u32 PSF_JOB_BITS = (PSF_COMPRESSED << 1) - PSF_STOPPED;
constexpr u32 PSF_JOB_START_KEEP_MASK = ~(PSF_STARTED | 0x200u | PSF_JOB_BITS);
static_assert(PSF_JOB_START_KEEP_MASK == 0xFFE005BF);

// portType
constexpr i16 PORTTYPE_OTHER = 0;
constexpr i16 PORTTYPE_SERIAL = 1;
constexpr i16 PORTTYPE_PARALLEL = 3;
constexpr i16 PORTTYPE_USB = 4;
constexpr i16 PORTTYPE_NETWORK = 5;

// portReady
constexpr i16 PORT_READY = 0;
constexpr i16 PORT_BUSY = 1;
constexpr i16 PORT_OFFLINE = 2;
constexpr i16 PORT_FAULT = 3;
constexpr i16 PORT_OFF = 4;

// How a segment handed from the scanner to the sender ends; also the progress kind.
enum SegmentKind : i16 {
    SEG_PLAIN = 0,
    SEG_PAGE_END = 1,
    SEG_LAST_PAGE = 2,
    SEG_SPLIT = 3,
};

constexpr u32 CARRY_BUFFER_SIZE = 10240;
constexpr u32 STATUS_BUFFER_SIZE = 640;
constexpr u32 SPOOL_PATH_SIZE = 260;

// One stored segment of the page in flight (or the single-buffer page copy).
struct SegmentNode {
    u8* data;
    u32 length;
    SegmentNode* next;
};

// The diagnostic trace of a port (monitor/trace.h).
struct TraceState {
    u32 on;      // the port's last job start found the driver's "Trace" set
    Handle file; // null: lines go to the debug output
    u32 jobEnd;  // how the job ended, for its last line
    i16 shownClass, shownCode;  // the state pair the trace showed last
    // A port monitor call that failed, with its error: the same failure again,
    // with no other line between, is counted rather than written.
    const char* failedCall;
    u32 failedError;
    u32 failedRepeats;
};

struct PortSession {
    PortSession* next;
    char* portName;  // points at the copy in the record's tail
    u32 flags;
    char* printerName;
    u32 jobId;
    Handle lowerPort;
    MonitorTable lowerMonitor;  // made whole at the open (core/port_calls.h)
    // What the table as it arrived allows, judged at the open: jobs on this
    // kind of port, and the spooler's control requests passed through.
    bool lowerCanRunJobs;
    bool lowerAnswersControls;
    u16 lptNumber;
    StatusPacket lastStatus;
    i16 stateClass;
    i16 stateCode;
    u32 ownerThreadId;
    char* documentName;
    JobInfoBlock jobInfo;
    u32 pageBytesSent;
    i16 lastPercent;
    u8* carryBuffer;
    u32 carryCount;
    i32 resetNeeded;
    SegmentNode* pageFirst;
    SegmentNode* pageLast;
    SegmentNode* pageCopy;
    Handle monitorProcess;
    u32 monitorProcessId;
    u32 monitorThreadId;
    WindowHandle monitorWindow;
    u32 replyState;
    Handle replyEvent;
    Handle connectThread;
    WindowHandle connectWindow;
    char* windowTitle;
    u32 statusTimeout;
    u32 printTimeout;
    i32 pollTimeout;
    i16 portType;
    i16 portReady;
    u32 lastNotifyCode;
    u8 statusBuffer[STATUS_BUFFER_SIZE];
    u16 statusBufferCount;
    i32 printingPhase;
    i32 waitingPhase;
    i32 restoreCutParam;
    u8 savedCutParam;
    i32 resumeAfterReply;
    u8 lastPageEnd;
    i32 cutParamSeen;
    u32 lanSleep;
    i32 spoolToFile;
    Handle spoolFile;
    i32 firstWriteSeen;
    char spoolFilePath[SPOOL_PATH_SIZE];
    Handle portMutex;
    i32 rasterCount;
    Handle openPortMutex;

    // Bytes at the front of the data not yet consumed that are already in the
    // segment list (a segment stored, then held back), so they are stored once.
    u32 storedAhead;

    // NotifyJobEnd has been sent: from here on the application exits as it
    // should, and nothing of the job needs it any more.
    bool jobEndTold;

    // The state Windows shows for the port (a notification code), 0 when
    // none: kept from job to job, so that a printer left offline is shown so
    // until a job finds it ready.
    u32 shownState;
    bool portStatusFailed;  // this job's SetPort failed, and the trace said so

    // Packets the printer sent may still be queued (the job's start, a reset,
    // a part, a print cycle that did not end in the receiving phase): the
    // next status check on a USB port drains them first.
    bool staleStatusPossible;

    // The handle the port monitor itself returned for the port: lowerPort, or,
    // for a port opened through the wide table, the handle inside the adapter
    // record that lowerPort is (monitor/wide_lower.h).
    Handle portMonitorHandle;

    TraceState trace;

    // The port name follows the record in the same heap block.
};

// Set by the trace once it is on; sees every state pair before it is stored.
using StateTraceHook = void (*)(PortSession& session, i16 stateClass, i16 stateCode);
extern StateTraceHook g_stateTraceHook;

inline void SetState(PortSession& session, i16 stateClass, i16 stateCode) {
    if (session.trace.on) g_stateTraceHook(session, stateClass, stateCode);
    session.stateClass = stateClass;
    session.stateCode = stateCode;
}
