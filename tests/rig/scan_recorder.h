// The scanner against a recording sender, for the scanner's tests: command
// bytes to build streams from, and a sender that "writes" every segment and
// plays the handshake's part in the raster count. Header-only and
// platform-free: the native tests use it.
#pragma once

#include <cstring>
#include <iterator>
#include <vector>

#include "core/printer_commands.h"
#include "rig/bytes.h"
#include "stream/scanner.h"

namespace scan_rig {

inline Bytes Repeat(const Bytes& piece, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = out + piece;
    return out;
}

inline Bytes RasterLine(u16 n, u8 fill = 0xAA) {
    Bytes line{0x47, static_cast<u8>(n & 0xFF), static_cast<u8>(n >> 8)};
    line.resize(3 + n, fill);
    return line;
}

inline Bytes JobInfo(u16 pageNumber) {
    Bytes block(JOB_INFO_SIZE, 0);
    std::memcpy(block.data(), JOB_INFO_INTRODUCER, 4);
    block[JOB_INFO_PAGE_NUMBER_OFFSET] = static_cast<u8>(pageNumber);
    block[11] = 1;  // partCount
    return block;
}

const Bytes RESET(std::begin(RESET_COMMAND), std::end(RESET_COMMAND));
const Bytes FF{CMD_FF};
const Bytes SUB{CMD_SUB};
const Bytes Z{0x5A};
const Bytes PADDING(24, 0x00);  // enough NULs that nothing before them waits

struct Segment {
    Bytes bytes;
    SegmentKind kind;
    i32 rasterCount;  // the count when the segment was handed over
};

// A sender that "writes" every segment and plays the handshake's part in the
// raster count; knobs make it hold back, end the call or fail to store.
struct Recorder {
    std::vector<Segment> segments;
    std::vector<Bytes> jobInfos;
    std::vector<Bytes> stored;
    int storeFailedCalls = 0;
    bool failStore = false;
    bool handshakeResets = true;
    int holdBack = 0;   // hold back this many segments whole
    int handBack = 0;   // end the call on this many segments, unwritten
    int endAfter = -1;  // end the call after this many segments
    SendResult ending = SendResult::EndTrue;

    Bytes sent() const {
        Bytes out;
        for (const Segment& s : segments) out = out + s.bytes;
        return out;
    }
    std::vector<SegmentKind> kinds() const {
        std::vector<SegmentKind> out;
        for (const Segment& s : segments) out.push_back(s.kind);
        return out;
    }

    static SendResult Send(void* context, PortSession& session, ScanCursor& cursor,
                           SegmentKind kind) {
        auto* self = static_cast<Recorder*>(context);
        if (self->handBack > 0) {
            --self->handBack;
            return SendResult::EndTrue;  // as after a port-mutex time-out
        }
        if (self->holdBack > 0) {
            --self->holdBack;
            if (self->handshakeResets) session.job.data.rasterCount = 0;
            return SendResult::Continue;  // pos keeps every byte: they lead the next segment
        }
        self->segments.push_back(
            {Bytes(cursor.base(), cursor.base() + cursor.pos), kind, session.job.data.rasterCount});
        cursor.consumed += cursor.pos;
        cursor.pos = 0;
        if (kind != SEG_PLAIN && self->handshakeResets) session.job.data.rasterCount = 0;
        if (self->endAfter >= 0 && static_cast<int>(self->segments.size()) >= self->endAfter)
            return self->ending;
        return SendResult::Continue;
    }
    static bool Take(void* context, PortSession&, const u8* block) {
        static_cast<Recorder*>(context)->jobInfos.emplace_back(block, block + JOB_INFO_SIZE);
        return true;
    }
    static bool Store(void* context, PortSession&, const u8* data, u32 length) {
        auto* self = static_cast<Recorder*>(context);
        if (self->failStore) return false;
        self->stored.emplace_back(data, data + length);
        return true;
    }
    static void StoreFailed(void* context, PortSession&) {
        ++static_cast<Recorder*>(context)->storeFailedCalls;
    }
    ScanSender sender() { return {this, Send, Take, Store, StoreFailed}; }
};

inline PortSession NewJob() {
    PortSession session{};
    session.job = FreshJob();
    return session;
}

struct Outcome {
    bool result;
    u32 consumed;
};

inline Outcome Scan(PortSession& session, Bytes& data, Recorder& recorder,
                    ScanMode mode = ScanMode::Normal) {
    u32 consumed = 0;
    bool result = ScanStreamWith(session, data.data(), static_cast<u32>(data.size()), consumed,
                                 recorder.sender(), mode);
    return {result, consumed};
}

}  // namespace scan_rig
