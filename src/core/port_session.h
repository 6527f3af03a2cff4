// The record kept for each open port and the job on it. Platform-free so that
// the scanner, decode and progress code can be built and tested natively.
#pragma once

#include <cstdint>

#include "core/job_info.h"
#include "core/monitor_table.h"
#include "core/printer_commands.h"
#include "core/statmon_interface.h"
#include "core/status_packet.h"

// JobRecord::flags
constexpr u32 PSF_BUSY = 0x1;
constexpr u32 PSF_STARTED = 0x40;
constexpr u32 PSF_LAUNCH_STATMON = 0x100;
constexpr u32 PSF_SEND_MEDIA = 0x400;
constexpr u32 PSF_STOPPED = 0x800;
constexpr u32 PSF_NEW_JOB_INFO = 0x4000;
constexpr u32 PSF_PAGE_ENDED = 0x10000;
constexpr u32 PSF_RESET_ON_STOP = 0x20000;
constexpr u32 PSF_PAUSED = 0x40000;
constexpr u32 PSF_COMPRESSED = 0x100000;

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

// The diagnostic trace of a port (core/trace.h).
struct TraceState {
    bool on;                    // the port's last job start found the driver's "Trace" set
    Handle file;                // null: lines go to the debug output
    u32 jobEnd;                 // how the job ended, for its last line
    i16 shownClass, shownCode;  // the state pair the trace showed last
    // A port monitor call that failed, with its error: the same failure again,
    // with no other line between, is counted rather than written.
    const char* failedCall;
    u32 failedError;
    u32 failedRepeats;
};

// The phase the status monitor application was told last; a continue tells
// it again.
enum class ShownPhase : u8 { None, Printing, Waiting };

// The job's link to the status monitor application (statmon/).
struct ApplicationLink {
    Handle monitorProcess;
    u32 monitorProcessId;
    u32 monitorThreadId;
    WindowHandle monitorWindow;  // where notifications go
    u32 replyState;              // read and written under monitorLock
    Handle replyEvent;           // set when a reply comes
    Handle connectThread;
    WindowHandle connectWindow;  // where replies come in
    char* windowTitle;
    u32 lastNotifyCode;  // the last state or phase notification, not sent twice
    // Written by the data path, read by the connect window under monitorLock.
    ShownPhase phase;
    // NotifyJobEnd has been sent: from here on the application exits as it
    // should, and nothing of the job needs it any more.
    bool jobEndTold;
};

// The job's status reading (status/).
struct StatusReader {
    u8 buffer[STATUS_BUFFER_SIZE];  // bytes received and not yet a whole packet
    u16 bufferCount;
    i16 portReady;      // PORT_*, as last polled
    u32 statusTimeout;  // ms, "Status Timeout"
    u32 printTimeout;   // ms, "Print Timeout"
    i32 pollTimeout;    // ms
    // Packets the printer sent may still be queued (the job's start, a reset,
    // a part, a print cycle that did not end in the receiving phase): the
    // next status check on a USB port drains them first.
    bool staleStatusPossible;
};

// The job's data path (stream/): the carry buffer, the page in flight kept
// for a resend, and what the scanner remembers between buffers.
struct DataPath {
    u8* carryBuffer;
    u32 carryCount;
    SegmentNode* pageFirst;
    SegmentNode* pageLast;
    SegmentNode* pageCopy;
    // Bytes at the front of the data not yet consumed that are already in the
    // segment list (a segment stored, then held back), so they are stored once.
    u32 storedAhead;
    i32 rasterCount;  // lines, or data bytes when compressed, since the last page end or split
    u32 pageBytesSent;
    i16 lastPercent;  // -1: none reported for this page
    u8 lastPageEnd;   // FF or SUB
    u8 savedCutParam;
    bool cutParamSeen;
    bool restoreCutParam;   // the resent page gets savedCutParam back
    bool resumeAfterReply;  // the data path goes on after the application's answer
    u32 lanSleep;           // ms before each piece written to a network port
};

// The diversion of a multi-copy job to a spool file.
struct SpoolDiversion {
    bool firstWriteSeen;  // the job's first bytes have decided
    bool active;
    Handle file;  // INVALID_HANDLE_VALUE when none is open
    char path[SPOOL_PATH_SIZE];
};

// A job on the port, from StartDocPort to EndDocPort: reset as a whole at the
// job start, its resources given back at the job end.
struct JobRecord {
    u32 flags;  // PSF_*
    u32 jobId;
    char* printerName;
    char* documentName;
    u32 ownerThreadId;  // names the job's shared-memory blocks
    JobInfoBlock jobInfo;
    Handle portMutex;
    bool resetNeeded;       // the printer is sent the reset sequence before the next data
    bool portStatusFailed;  // this job's SetPort failed, and the trace said so
    ApplicationLink link;
    StatusReader status;
    DataPath data;
    SpoolDiversion spool;
};

// The value Win32 uses for no file (INVALID_HANDLE_VALUE).
inline Handle NoFile() { return reinterpret_cast<Handle>(static_cast<intptr_t>(-1)); }

// A job record as every job starts.
inline JobRecord FreshJob() {
    JobRecord job{};
    job.link.replyState = REPLY_CONTINUE;
    job.status.portReady = PORT_READY;
    job.status.pollTimeout = 500;
    job.status.staleStatusPossible = true;
    job.data.lastPercent = -1;
    job.data.lastPageEnd = CMD_FF;
    job.spool.file = NoFile();
    return job;
}

// The record of a port the spooler opened through the monitor, from
// OpenPortEx to ClosePort; its handle for the port is this record.
struct PortSession {
    PortSession* next;
    char* portName;  // points at the copy in the record's tail
    i16 portType;
    u16 lptNumber;
    Handle lowerPort;
    // The handle the port monitor itself returned for the port: lowerPort, or,
    // for a port opened through the wide table, the handle inside the adapter
    // record that lowerPort is (monitor/wide_lower.h).
    Handle portMonitorHandle;
    MonitorTable lowerMonitor;  // made whole at the open (core/port_calls.h)
    // What the table as it arrived allows, judged at the open: jobs on this
    // kind of port, and the spooler's control requests passed through.
    bool lowerCanRunJobs;
    bool lowerAnswersControls;
    Handle openPortMutex;

    // The printer as last seen, kept from job to job: its last status reply,
    // the state pair, and the state Windows shows for the port (a
    // notification code, 0 when none), so that a printer left offline is
    // shown so until a job finds it ready.
    StatusPacket lastStatus;
    i16 stateClass;
    i16 stateCode;
    u32 shownState;

    TraceState trace;
    JobRecord job;

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
