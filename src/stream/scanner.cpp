// The scanning half of ScanStream: finds page ends, raster splits and job
// information blocks in the printer's command stream and measures every other
// command it knows, so that no segment ever ends inside a command.
#include "stream/scanner.h"

#include <cstring>

namespace {

constexpr u8 NUL = 0x00;
constexpr u8 ETX = 0x03;
constexpr u8 FF = 0x0C;
constexpr u8 SUB = 0x1A;
constexpr u8 ESC = 0x1B;

// An unknown byte is stepped over only this far from the end of the buffer, so
// that a command cut by the buffer's end is judged whole at the next call.
constexpr u32 UNKNOWN_BYTE_REACH = 19;

// The commands the scanner acts on, with the fewest bytes each one needs.
// Used only at the end of the stream, to tell a known command that is cut
// short (it waits) from bytes no command can begin with (they are stepped over).
struct KnownCommand {
    u8 bytes[4];
    u8 matchLength;
    u8 minLength;
};

constexpr KnownCommand KNOWN_COMMANDS[] = {
    {{ESC, 0x40}, 2, 2},               // ESC @
    {{0x4D}, 1, 2},                    // M p
    {{0x47}, 1, 3},                    // G lo hi
    {{ESC, 0x69, 0x49, 0x58}, 4, 92},  // job information block
    {{ESC, 0x69, 0x49, 0x02}, 4, 6},   // ESC i I 02
    {{ESC, 0x5C}, 2, 4},               // ESC '\'
    {{ESC, 0x69, 0x4D}, 3, 4},         // ESC i M
    {{ESC, 0x69, 0x4B}, 3, 4},         // ESC i K
    {{ESC, 0x69, 0x44}, 3, 4},         // ESC i D
    {{ESC, 0x69, 0x4F}, 3, 4},         // ESC i O
    {{ESC, 0x69, 0x52}, 3, 4},         // ESC i R
    {{ESC, 0x69, 0x61}, 3, 4},         // ESC i a
    {{ESC, 0x2A}, 2, 5},               // ESC * lo hi
    {{ESC, 0x69, 0x64}, 3, 5},         // ESC i d
    {{ESC, 0x69, 0x63}, 3, 8},         // ESC i c
};

bool IsCutShortCommand(const u8* at, u32 available) {
    for (const KnownCommand& command : KNOWN_COMMANDS) {
        u32 compared = available < command.matchLength ? available : command.matchLength;
        if (available < command.minLength && std::memcmp(at, command.bytes, compared) == 0)
            return true;
    }
    return false;
}

// Three-byte ESC i commands of four bytes in all that are measured and passed on.
constexpr u8 ESC_I_FOUR_BYTE[] = {0x4D, 0x44, 0x4F, 0x52, 0x61};  // M D O R a

bool IsEscI(const u8* at, u8 third) { return at[0] == ESC && at[1] == 0x69 && at[2] == third; }

// Adds a raster line to the count; true when the count is now over its limit.
// The sum wraps like the signed 32-bit count it is rather than overflowing.
bool CountRaster(PortSession& session, u32 amount) {
    session.rasterCount = static_cast<i32>(static_cast<u32>(session.rasterCount) + amount);
    i32 limit = (session.flags & PSF_COMPRESSED) ? RASTER_BYTE_LIMIT : RASTER_LINE_LIMIT;
    return session.rasterCount > limit;
}

// ESC i K p: a resent page gets back the parameter of the last ESC i K met
// before the interruption; p as it then stands is remembered.
void TakeCutParam(PortSession& session, u8& param) {
    if (session.cutParamSeen && session.restoreCutParam) {
        param = session.savedCutParam;
        session.restoreCutParam = 0;
    }
    session.savedCutParam = param;
    session.cutParamSeen = 1;
}

enum class Step {
    Skip,      // pos += amount
    Wait,      // stop scanning; what was scanned is handed over
    HandOver,  // hand over pos bytes as kind
    JobInfo,   // a job information block at the current position
};

struct Decision {
    Step step;
    u32 amount;
    SegmentKind kind;
};

Decision Skip(u32 amount) { return {Step::Skip, amount, SEG_PLAIN}; }
Decision Wait() { return {Step::Wait, 0, SEG_PLAIN}; }
Decision HandOver(u32 amount, SegmentKind kind) { return {Step::HandOver, amount, kind}; }

// Where too few bytes are left for the next tests: normally wait for more; at
// the end of the stream only a known command cut short waits.
Decision ShortOf(const u8* at, u32 available, ScanMode mode) {
    if (mode == ScanMode::EndOfStream && !IsCutShortCommand(at, available)) return Skip(1);
    return Wait();
}

// The ordered tests for the byte at `at`, with `available` (> 0) bytes from it
// to the end of the buffer. May edit the command in place.
Decision Judge(PortSession& session, u8* at, u32 available, ScanMode mode) {
    const u8 first = at[0];
    if (first == NUL) return Skip(1);
    if (first == 0x5A) {  // Z, a zero raster line
        bool split = CountRaster(session, (session.flags & PSF_COMPRESSED) ? 2 : 1);
        return split ? HandOver(1, SEG_SPLIT) : Skip(1);
    }
    if (first == FF) {
        if (session.resumeAfterReply && session.lastPageEnd == SUB) {
            // The resent page of a job whose SUB was already met ends the job again.
            session.resumeAfterReply = 0;
            at[0] = SUB;
            return HandOver(1, SEG_LAST_PAGE);
        }
        session.lastPageEnd = FF;
        return HandOver(1, SEG_PAGE_END);
    }
    if (first == SUB) {
        session.lastPageEnd = SUB;
        return HandOver(1, SEG_LAST_PAGE);
    }
    if (first == ETX) return Skip(1);

    if (available < 2) return ShortOf(at, available, mode);
    if (first == ESC && at[1] == 0x40) return Skip(2);
    if (first == 0x4D) {  // M p: compression stays on once switched on
        if (at[1] != 0) session.flags |= PSF_COMPRESSED;
        return Skip(2);
    }

    if (available < 3) return ShortOf(at, available, mode);
    if (first == 0x47) {  // G lo hi, then n data bytes
        u32 n = static_cast<u32>(at[1]) | (static_cast<u32>(at[2]) << 8);
        if (available < 3 + n) return Wait();
        bool split = CountRaster(session, (session.flags & PSF_COMPRESSED) ? n : 1);
        return split ? HandOver(3 + n, SEG_SPLIT) : Skip(3 + n);
    }

    if (available < 4) return ShortOf(at, available, mode);
    if (IsEscI(at, 0x49)) {
        if (at[3] == 0x58) return {Step::JobInfo, 0, SEG_PLAIN};
        if (at[3] == 0x02) return available < 6 ? Wait() : Skip(6);
        // Any other fourth byte: none of the four-byte tests below can match,
        // so the bytes are judged like bytes that no command matches.
    }
    if (first == ESC && at[1] == 0x5C) return Skip(4);
    if (IsEscI(at, 0x4B)) {
        TakeCutParam(session, at[3]);
        return Skip(4);
    }
    for (u8 third : ESC_I_FOUR_BYTE) {
        if (IsEscI(at, third)) return Skip(4);
    }

    if (available < 5) return ShortOf(at, available, mode);
    if (first == ESC && at[1] == 0x2A) {  // ESC * lo hi, then 3 bytes per count
        u32 count = static_cast<u32>(at[2]) | (static_cast<u32>(at[3]) << 8);
        return available < 5 + 3 * count ? Wait() : Skip(5 + 3 * count);
    }
    if (IsEscI(at, 0x64)) return Skip(5);
    if (IsEscI(at, 0x63)) {
        if (available < 8) return Wait();
        at[3] = 0;
        return Skip(8);
    }

    if (available < UNKNOWN_BYTE_REACH) return ShortOf(at, available, mode);
    return Skip(1);
}

}  // namespace

bool ScanStreamWith(PortSession& session, u8* buffer, u32 length, u32& consumed,
                    const ScanSender& sender, ScanMode mode) {
    SetState(session, STATE_READY, 0);
    ScanCursor cursor{buffer, length, consumed, 0, true};

    // The raster count as it stood when the bytes from base on were first
    // scanned: a segment handed back unwritten is scanned again with the next
    // call, so its lines must not count twice.
    i32 rasterAtBase = session.rasterCount;
    u32 consumedAtBase = cursor.consumed;
    auto markBase = [&] {
        rasterAtBase = session.rasterCount;
        consumedAtBase = cursor.consumed;
    };

    // Hands the pos bytes at base to the sender; false when the call is over.
    bool finished = false;
    bool result = true;
    auto handOver = [&](SegmentKind kind) {
        switch (sender.sendSegment(sender.context, session, cursor, kind)) {
            case SendResult::Continue:
                markBase();
                return;
            case SendResult::EndTrue:
                result = true;
                if (cursor.consumed == consumedAtBase) session.rasterCount = rasterAtBase;
                break;
            case SendResult::EndFalse:
                result = false;
                break;
        }
        finished = true;
    };

    // Each pass either moves pos forward, hands bytes to the sender (which
    // moves consumed, or holds them back after a handshake with the printer),
    // or stops scanning; the buffer's end bounds the scan.
    while (!finished) {
        u32 current = cursor.consumed + cursor.pos;
        if (current >= length || !cursor.keepScanning) {
            if (cursor.pos == 0) break;
            handOver(SEG_PLAIN);
            continue;
        }
        u8* at = buffer + current;
        Decision decision = Judge(session, at, length - current, mode);
        switch (decision.step) {
            case Step::Skip:
                cursor.pos += decision.amount;
                break;
            case Step::Wait:
                cursor.keepScanning = false;
                break;
            case Step::HandOver:
                cursor.pos += decision.amount;
                handOver(decision.kind);
                break;
            case Step::JobInfo:
                if (cursor.pos != 0) {
                    handOver(SEG_PLAIN);  // the bytes before the block, then the block again
                    break;
                }
                if (length - current < JOB_INFO_SIZE) {
                    cursor.keepScanning = false;
                    break;
                }
                sender.takeJobInfo(sender.context, session, at);
                if (!(session.flags & PSF_RESENDING) &&
                    !sender.storeSegment(sender.context, session, at, JOB_INFO_SIZE)) {
                    sender.storeFailed(sender.context, session);
                    session.flags |= PSF_STOPPED;
                    finished = true;
                    result = true;
                    break;
                }
                cursor.consumed += JOB_INFO_SIZE;  // taken out: never written to the port
                markBase();
                break;
        }
    }
    consumed = cursor.consumed;
    return result;
}
