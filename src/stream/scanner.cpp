// The scanning half of ScanStream: finds page ends, raster splits and job
// information blocks in the printer's command stream and measures every other
// command it knows (core/printer_commands), so that no segment ever ends
// inside a command.
#include "stream/scanner.h"

#include "core/printer_commands.h"

namespace {

// An unknown byte is stepped over only this far from the end of the buffer, so
// that a command cut by the buffer's end is judged whole at the next call.
constexpr u32 UNKNOWN_BYTE_REACH = 19;

// Adds a raster line to the count; true when the count is now over its limit.
// The sum wraps like the signed 32-bit count it is rather than overflowing.
bool CountRaster(PortSession& session, u32 amount) {
    session.job.data.rasterCount =
        static_cast<i32>(static_cast<u32>(session.job.data.rasterCount) + amount);
    i32 limit = (session.job.flags & PSF_COMPRESSED) ? RASTER_BYTE_LIMIT : RASTER_LINE_LIMIT;
    return session.job.data.rasterCount > limit;
}

// ESC i K p: a resent page gets back the parameter of the last ESC i K met
// before the interruption; p as it then stands is remembered.
void TakeCutParam(PortSession& session, u8& param) {
    if (session.job.data.cutParamSeen && session.job.data.restoreCutParam) {
        param = session.job.data.savedCutParam;
        session.job.data.restoreCutParam = false;
    }
    session.job.data.savedCutParam = param;
    session.job.data.cutParamSeen = true;
}

enum class ScanStep {
    Skip,      // pos += amount
    Wait,      // stop scanning; what was scanned is handed over
    HandOver,  // hand over pos bytes as kind
    JobInfo,   // a job information block at the current position
};

struct Decision {
    ScanStep step;
    u32 amount;
    SegmentKind kind;
};

Decision Skip(u32 amount) { return {ScanStep::Skip, amount, SEG_PLAIN}; }
Decision Wait() { return {ScanStep::Wait, 0, SEG_PLAIN}; }
Decision HandOver(u32 amount, SegmentKind kind) { return {ScanStep::HandOver, amount, kind}; }

// Bytes no command begins with, too near the end of the buffer to be stepped
// over: normally they wait for more; at the end of the stream only a command
// cut short waits.
Decision ShortOf(const u8* at, u32 available, ScanMode mode) {
    if (mode == ScanMode::EndOfStream &&
        FindCutShortCommand(at, available, READ_BY_SCANNER) == nullptr)
        return Skip(1);
    return Wait();
}

// What the scanner does with a whole command of length bytes at `at`: the
// page ends and raster lines it counts, the switch to compression, and its
// two edits in place.
Decision Act(PortSession& session, const PrinterCommand& command, u8* at, u32 length) {
    bool compressed = (session.job.flags & PSF_COMPRESSED) != 0;
    switch (command.role) {
        case CommandRole::ZeroRaster:
            return CountRaster(session, compressed ? 2 : 1) ? HandOver(length, SEG_SPLIT)
                                                            : Skip(length);
        case CommandRole::Raster: {
            u32 dataBytes = length - command.length;
            return CountRaster(session, compressed ? dataBytes : 1) ? HandOver(length, SEG_SPLIT)
                                                                    : Skip(length);
        }
        case CommandRole::PageEnd:
            if (session.job.data.resumeAfterReply && session.job.data.lastPageEnd == CMD_SUB) {
                // The resent page of a job whose SUB was already met ends the job again.
                session.job.data.resumeAfterReply = false;
                at[0] = CMD_SUB;
                return HandOver(length, SEG_LAST_PAGE);
            }
            session.job.data.lastPageEnd = CMD_FF;
            return HandOver(length, SEG_PAGE_END);
        case CommandRole::LastPageEnd:
            session.job.data.lastPageEnd = CMD_SUB;
            return HandOver(length, SEG_LAST_PAGE);
        case CommandRole::Compression:  // stays on once switched on
            if (at[1] != 0) session.job.flags |= PSF_COMPRESSED;
            return Skip(length);
        default: break;
    }
    if (command.edit == CommandEdit::CutParameter) TakeCutParam(session, at[3]);
    if (command.edit == CommandEdit::ClearParameter) at[3] = 0;
    return Skip(length);
}

// The byte at `at`, with `available` (> 0) bytes from it to the end of the
// buffer. A command cut by the buffer's end waits whole; may edit the
// command in place.
Decision Judge(PortSession& session, u8* at, u32 available, ScanMode mode) {
    const PrinterCommand* command = FindCommand(at, available, READ_BY_SCANNER);
    if (command == nullptr)
        return available < UNKNOWN_BYTE_REACH ? ShortOf(at, available, mode) : Skip(1);
    if (command->role == CommandRole::JobInfo) return {ScanStep::JobInfo, 0, SEG_PLAIN};
    if (available < command->length) return Wait();
    u32 length = CommandLength(*command, at);
    if (available < length) return Wait();
    return Act(session, *command, at, length);
}

// One call's scan: its cursor and sender, and where the bytes not yet handed
// over began. The raster count is kept as it stood when the bytes from base
// on were first scanned: a segment handed back unwritten is scanned again
// with the next call, so its lines must not count twice.
struct Scan {
    PortSession& session;
    const ScanSender& sender;
    ScanCursor cursor;
    i32 rasterAtBase;
    u32 consumedAtBase;
    bool finished;
    bool result;
};

void MarkBase(Scan& scan) {
    scan.rasterAtBase = scan.session.job.data.rasterCount;
    scan.consumedAtBase = scan.cursor.consumed;
}

// Hands the pos bytes at base to the sender; the scan finishes when the
// sender ends the call.
void SendPending(Scan& scan, SegmentKind kind) {
    switch (scan.sender.sendSegment(scan.sender.context, scan.session, scan.cursor, kind)) {
        case SendResult::Continue: MarkBase(scan); return;
        case SendResult::EndTrue:
            scan.result = true;
            if (scan.cursor.consumed == scan.consumedAtBase)
                scan.session.job.data.rasterCount = scan.rasterAtBase;
            break;
        case SendResult::EndFalse: scan.result = false; break;
    }
    scan.finished = true;
}

// A job information block at `at`: the bytes before it go first, then it is
// taken out of the stream and kept. A block not yet whole waits.
void TakeOutJobInfo(Scan& scan, u8* at, u32 available) {
    if (scan.cursor.pos != 0) {
        SendPending(scan, SEG_PLAIN);  // then the block is met again
        return;
    }
    if (available < JOB_INFO_SIZE) {
        scan.cursor.keepScanning = false;
        return;
    }
    const ScanSender& sender = scan.sender;
    sender.takeJobInfo(sender.context, scan.session, at);
    if (!sender.storeSegment(sender.context, scan.session, at, JOB_INFO_SIZE)) {
        sender.storeFailed(sender.context, scan.session);
        scan.session.job.flags |= PSF_STOPPED;
        scan.finished = true;
        scan.result = true;
        return;
    }
    scan.cursor.consumed += JOB_INFO_SIZE;  // taken out: never written to the port
    MarkBase(scan);
}

}  // namespace

// Each pass either moves pos forward, hands bytes to the sender (which moves
// consumed, or holds them back after a handshake with the printer), or stops
// scanning; the buffer's end bounds the scan.
bool ScanStreamWith(PortSession& session, u8* buffer, u32 length, u32& consumed,
                    const ScanSender& sender, ScanMode mode) {
    SetState(session, STATE_READY, 0);
    Scan scan{session,
              sender,
              {buffer, length, consumed, 0, true},
              session.job.data.rasterCount,
              consumed,
              false,
              true};
    ScanCursor& cursor = scan.cursor;
    while (!scan.finished) {
        u32 current = cursor.consumed + cursor.pos;
        if (current >= length || !cursor.keepScanning) {
            if (cursor.pos == 0) break;
            SendPending(scan, SEG_PLAIN);
            continue;
        }
        u8* at = buffer + current;
        Decision decision = Judge(session, at, length - current, mode);
        switch (decision.step) {
            case ScanStep::Skip: cursor.pos += decision.amount; break;
            case ScanStep::Wait: cursor.keepScanning = false; break;
            case ScanStep::HandOver:
                cursor.pos += decision.amount;
                SendPending(scan, decision.kind);
                break;
            case ScanStep::JobInfo: TakeOutJobInfo(scan, at, length - current); break;
        }
    }
    consumed = cursor.consumed;
    return scan.result;
}
