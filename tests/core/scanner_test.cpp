// The command stream scanner against a recording sender: where segments end,
// what reaches the port, what is taken out, and the in-place edits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stream/scanner.h"

namespace {

using Bytes = std::vector<u8>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Repeat(const Bytes& piece, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out = out + piece;
    return out;
}

Bytes RasterLine(u16 n, u8 fill = 0xAA) {
    Bytes line{0x47, static_cast<u8>(n & 0xFF), static_cast<u8>(n >> 8)};
    line.resize(3 + n, fill);
    return line;
}

Bytes JobInfo(u16 pageNumber) {
    Bytes block(JOB_INFO_SIZE, 0);
    std::memcpy(block.data(), JOB_INFO_INTRODUCER, 4);
    block[JOB_INFO_PAGE_NUMBER_OFFSET] = static_cast<u8>(pageNumber);
    block[11] = 1;  // partCount
    return block;
}

const Bytes RESET{0x1B, 0x40};
const Bytes FF{0x0C};
const Bytes SUB{0x1A};
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
    int holdBack = 0;                     // hold back this many segments whole
    int handBack = 0;                     // end the call on this many segments, unwritten
    int endAfter = -1;                    // end the call after this many segments
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
            if (self->handshakeResets) session.rasterCount = 0;
            return SendResult::Continue;  // pos keeps every byte: they lead the next segment
        }
        self->segments.push_back(
            {Bytes(cursor.base(), cursor.base() + cursor.pos), kind, session.rasterCount});
        cursor.consumed += cursor.pos;
        cursor.pos = 0;
        if (kind != SEG_PLAIN && self->handshakeResets) session.rasterCount = 0;
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

PortSession NewJob() {
    PortSession session{};
    session.lastPageEnd = 0x0C;
    return session;
}

struct Outcome {
    bool result;
    u32 consumed;
};

Outcome Scan(PortSession& session, Bytes& data, Recorder& recorder,
             ScanMode mode = ScanMode::Normal) {
    u32 consumed = 0;
    bool result = ScanStreamWith(session, data.data(), static_cast<u32>(data.size()), consumed,
                                 recorder.sender(), mode);
    return {result, consumed};
}

TEST(Scanner, BeginsWithTheReadyPairAndEndsAtOnceOnNoData) {
    PortSession session = NewJob();
    SetState(session, STATE_ERROR, 7);
    Recorder recorder;
    Bytes empty;
    Outcome out = Scan(session, empty, recorder);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.consumed, 0u);
    EXPECT_EQ(session.stateClass, STATE_READY);
    EXPECT_EQ(session.stateCode, 0);
    EXPECT_TRUE(recorder.segments.empty());
}

TEST(Scanner, BufferEndingInsideARasterLineSendsWhatLiesBeforeIt) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes head = RESET + RasterLine(3) + Z;
    Bytes data = head + Bytes{0x47, 0x05, 0x00, 0x01, 0x02};
    Outcome out = Scan(session, data, recorder);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.consumed, head.size());
    ASSERT_EQ(recorder.segments.size(), 1u);
    EXPECT_EQ(recorder.segments[0].kind, SEG_PLAIN);
    EXPECT_EQ(recorder.segments[0].bytes, head);
}

TEST(Scanner, JobInformationBlockIsTakenOutBetweenData) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes before = RESET + Z;
    Bytes block = JobInfo(3);
    Bytes after = RasterLine(2) + Z + FF;
    Bytes data = before + block + after;
    Outcome out = Scan(session, data, recorder);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.consumed, data.size());
    ASSERT_EQ(recorder.segments.size(), 2u);
    EXPECT_EQ(recorder.segments[0].kind, SEG_PLAIN);
    EXPECT_EQ(recorder.segments[0].bytes, before);
    EXPECT_EQ(recorder.segments[1].kind, SEG_PAGE_END);
    EXPECT_EQ(recorder.segments[1].bytes, after);
    ASSERT_EQ(recorder.jobInfos.size(), 1u);
    EXPECT_EQ(recorder.jobInfos[0], block);
    ASSERT_EQ(recorder.stored.size(), 1u);
    EXPECT_EQ(recorder.stored[0], block);
}

TEST(Scanner, JobInformationBlockCutAcrossTwoCallsIsTakenWhole) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes before = RESET + Z;
    Bytes block = JobInfo(1);
    for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{50}, size_t{91}}) {
        SCOPED_TRACE(cut);
        recorder = Recorder{};
        Bytes first = before + Bytes(block.begin(), block.begin() + cut);
        Outcome out = Scan(session, first, recorder);
        EXPECT_TRUE(out.result);
        EXPECT_EQ(out.consumed, before.size());
        EXPECT_TRUE(recorder.jobInfos.empty());
        EXPECT_EQ(recorder.sent(), before);

        // The caller carries the tail in front of the rest.
        Bytes second = Bytes(first.begin() + out.consumed, first.end()) +
                       Bytes(block.begin() + cut, block.end()) + Z + FF;
        out = Scan(session, second, recorder);
        EXPECT_TRUE(out.result);
        EXPECT_EQ(out.consumed, second.size());
        ASSERT_EQ(recorder.jobInfos.size(), 1u);
        EXPECT_EQ(recorder.jobInfos[0], block);
        EXPECT_EQ(recorder.sent(), before + Z + FF);
    }
}

TEST(Scanner, JobInformationBlockWhileResendingIsTakenButNotStored) {
    PortSession session = NewJob();
    session.flags |= PSF_RESENDING;
    Recorder recorder;
    Bytes data = JobInfo(2) + Z + FF;
    Outcome out = Scan(session, data, recorder);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.consumed, data.size());
    EXPECT_EQ(recorder.jobInfos.size(), 1u);
    EXPECT_TRUE(recorder.stored.empty());
    EXPECT_EQ(recorder.sent(), Z + FF);
}

TEST(Scanner, JobInformationBlockThatCannotBeStoredStopsTheJob) {
    PortSession session = NewJob();
    Recorder recorder;
    recorder.failStore = true;
    Bytes before = Z;
    Bytes data = before + JobInfo(2) + Z + FF;
    Outcome out = Scan(session, data, recorder);
    EXPECT_TRUE(out.result);
    EXPECT_EQ(out.consumed, before.size());  // the block is not finished with
    EXPECT_EQ(recorder.storeFailedCalls, 1);
    EXPECT_TRUE(session.flags & PSF_STOPPED);
    EXPECT_EQ(recorder.sent(), before);
}

struct SplitCase {
    const char* name;
    Bytes page;           // after a page start, ending with FF
    size_t splitAt;       // bytes of the page in the split segment; 0: no split
    i32 countAtSplit;
};

TEST(Scanner, RasterLimitSplitsAfterTheLineThatCrossesIt) {
    Bytes line = RasterLine(2);
    Bytes m2{0x4D, 0x02};
    Bytes m0{0x4D, 0x00};
    Bytes big = RasterLine(32618, 0x0C);  // page-end bytes inside raster data are not judged
    const SplitCase cases[] = {
        {"700 lines", Repeat(line, 700) + FF, 0, 0},
        {"701 lines", Repeat(line, 701) + FF, 701 * line.size(), 701},
        {"700 mixed", Repeat(line + Z, 350) + FF, 0, 0},
        {"701 mixed", Repeat(Z + line, 350) + Z + FF, 350 * 6 + 1, 701},
        {"16309 Z compressed", m2 + Repeat(Z, 16309) + FF, 0, 0},
        {"16310 Z compressed", m2 + Repeat(Z, 16310) + FF, 2 + 16310, 32620},
        {"G of 32618 compressed", m2 + big + FF, 0, 0},
        {"G of 32618 then Z", m2 + big + Z + FF, 2 + big.size() + 1, 32620},
        {"M 0 keeps compression", m2 + m0 + Repeat(Z, 701) + FF, 0, 0},
        {"M 0 alone", m0 + Repeat(Z, 701) + FF, 2 + 701, 701},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        PortSession session = NewJob();
        Recorder recorder;
        Bytes data = c.page;
        Outcome out = Scan(session, data, recorder);
        EXPECT_TRUE(out.result);
        EXPECT_EQ(out.consumed, data.size());
        EXPECT_EQ(recorder.sent(), c.page);
        if (c.splitAt == 0) {
            ASSERT_EQ(recorder.segments.size(), 1u);
            EXPECT_EQ(recorder.segments[0].kind, SEG_PAGE_END);
        } else {
            ASSERT_EQ(recorder.segments.size(), 2u);
            EXPECT_EQ(recorder.segments[0].kind, SEG_SPLIT);
            EXPECT_EQ(recorder.segments[0].bytes.size(), c.splitAt);
            EXPECT_EQ(recorder.segments[0].rasterCount, c.countAtSplit);
            EXPECT_EQ(recorder.segments[1].kind, SEG_PAGE_END);
        }
    }
}

TEST(Scanner, CompressionOnceOnStaysOn) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes data = Bytes{0x4D, 0x02} + Z + Bytes{0x4D, 0x00} + Z;
    Scan(session, data, recorder);
    EXPECT_TRUE(session.flags & PSF_COMPRESSED);
    EXPECT_EQ(session.rasterCount, 4);
}

TEST(Scanner, CountStillOverItsLimitSplitsAtTheNextLine) {
    PortSession session = NewJob();
    Recorder recorder;
    recorder.handshakeResets = false;
    Bytes data = Repeat(Z, 703);
    Scan(session, data, recorder);
    EXPECT_EQ(recorder.kinds(), (std::vector<SegmentKind>{SEG_SPLIT, SEG_SPLIT, SEG_SPLIT}));
    EXPECT_EQ(recorder.segments[0].bytes.size(), 701u);
    EXPECT_EQ(recorder.segments[1].bytes.size(), 1u);
}

// ESC i c reaches the port with its first parameter zeroed, edited in the caller's buffer.
TEST(Scanner, EscICFirstParameterIsZeroed) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes escIc{0x1B, 0x69, 0x63, 0x05, 0x11, 0x22, 0x33, 0x44};
    Bytes data = escIc + FF;
    Outcome out = Scan(session, data, recorder);
    EXPECT_EQ(out.consumed, data.size());
    Bytes expected{0x1B, 0x69, 0x63, 0x00, 0x11, 0x22, 0x33, 0x44, 0x0C};
    EXPECT_EQ(recorder.sent(), expected);
    EXPECT_EQ(data, expected);
}

TEST(Scanner, CommandsCutByTheBufferEndWaitWhole) {
    struct Case {
        const char* name;
        Bytes tail;
    };
    const Case cases[] = {
        {"ESC i c of 5", {0x1B, 0x69, 0x63, 0x05, 0x11}},
        {"ESC i c of 6", {0x1B, 0x69, 0x63, 0x05, 0x11, 0x22}},
        {"ESC i c of 7", {0x1B, 0x69, 0x63, 0x05, 0x11, 0x22, 0x33}},
        {"ESC * short of its data", {0x1B, 0x2A, 0x02, 0x00, 0x00, 1, 2, 3, 4, 5}},
        {"ESC i I 02 of 5", {0x1B, 0x69, 0x49, 0x02, 0x0C}},
        {"ESC i K of 3", {0x1B, 0x69, 0x4B}},
        {"M alone", {0x4D}},
        {"G head of 2", {0x47, 0x01}},
        {"unknown byte within 19 of the end", Bytes{0x41} + Bytes(17, 0x00)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortSession session = NewJob();
        Recorder recorder;
        Bytes data = RESET + c.tail;
        Outcome out = Scan(session, data, recorder);
        EXPECT_TRUE(out.result);
        EXPECT_EQ(out.consumed, RESET.size());
        EXPECT_EQ(recorder.sent(), RESET);
        EXPECT_EQ(Bytes(data.begin() + 2, data.end()), c.tail);  // nothing edited yet
    }
}

TEST(Scanner, SkippedCommandsAndFillerBytesTravelToThePort) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes data = Bytes{0x00, 0x03, 0x00} + RESET + Bytes{0x1B, 0x5C, 0x0C, 0x0C} +
                 Bytes{0x1B, 0x69, 0x4D, 0x0C} + Bytes{0x1B, 0x69, 0x61, 0x0C} +
                 Bytes{0x1B, 0x69, 0x64, 0x0C, 0x0C} + Bytes{0x1B, 0x2A, 0x01, 0x00, 0x0C, 0x0C,
                                                              0x0C, 0x1A} +
                 Bytes{0x1B, 0x69, 0x49, 0x02, 0x0C, 0x1A} + Bytes{0x03} + FF;
    Outcome out = Scan(session, data, recorder);
    EXPECT_EQ(out.consumed, data.size());
    ASSERT_EQ(recorder.segments.size(), 1u);  // no parameter byte was taken for a page end
    EXPECT_EQ(recorder.segments[0].kind, SEG_PAGE_END);
    EXPECT_EQ(recorder.segments[0].bytes, data);
}

TEST(Scanner, BytesOfCommandsNotActedOnAreJudgedOneByOne) {
    struct Case {
        const char* name;
        Bytes command;
        size_t pageEndAt;  // segment length up to the FF judged as a page end; 0: none
    };
    Bytes escIA{0x1B, 0x69, 0x41, 0x01, 0x02, 0x03, 0x04, 0x05, 0x0C, 0x07,
                0x08, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F, 0x10, 0x11};
    const Case cases[] = {
        {"FF in an ESC i A parameter", escIA, 9},
        {"FF in G data", RasterLine(4, 0x0C), 0},
        {"ESC i I with another fourth byte", {0x1B, 0x69, 0x49, 0x0C, 0x00}, 4},
        {"ESC i I 02", {0x1B, 0x69, 0x49, 0x02, 0x0C, 0x0C}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortSession session = NewJob();
        Recorder recorder;
        Bytes data = c.command + PADDING;
        Outcome out = Scan(session, data, recorder);
        EXPECT_EQ(out.consumed, data.size());
        EXPECT_EQ(recorder.sent(), data);
        if (c.pageEndAt == 0) {
            EXPECT_EQ(recorder.kinds(), std::vector<SegmentKind>{SEG_PLAIN});
        } else {
            ASSERT_EQ(recorder.kinds(), (std::vector<SegmentKind>{SEG_PAGE_END, SEG_PLAIN}));
            EXPECT_EQ(recorder.segments[0].bytes.size(), c.pageEndAt);
        }
    }
}

TEST(Scanner, PageEndsRememberTheLastKind) {
    PortSession session = NewJob();
    Recorder recorder;
    Bytes data = Z + FF + Z + SUB;
    Scan(session, data, recorder);
    EXPECT_EQ(recorder.kinds(), (std::vector<SegmentKind>{SEG_PAGE_END, SEG_LAST_PAGE}));
    EXPECT_EQ(session.lastPageEnd, 0x1A);
    Bytes next = Z + FF;
    Scan(session, next, recorder);
    EXPECT_EQ(session.lastPageEnd, 0x0C);
}

TEST(Scanner, ResumedPageGetsTheJobEndAndTheSavedCutParameter) {
    struct Case {
        const char* name;
        u8 lastPageEnd;
        i32 cutParamSeen;
        SegmentKind kind;     // of the resent FF
        u8 pageEndByte;       // as it reaches the port
        u8 firstCutParam, secondCutParam;  // as the two ESC i K reach the port
        i32 resumeAfter;
    };
    // Without an earlier ESC i K the first one only becomes the saved
    // parameter, and the second one is the one restored.
    const Case cases[] = {
        {"after the last page", 0x1A, 1, SEG_LAST_PAGE, 0x1A, 0x08, 0x04, 0},
        {"after a form feed", 0x0C, 1, SEG_PAGE_END, 0x0C, 0x08, 0x04, 1},
        {"no cut parameter met before", 0x1A, 0, SEG_LAST_PAGE, 0x1A, 0x03, 0x03, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PortSession session = NewJob();
        session.lastPageEnd = c.lastPageEnd;
        session.cutParamSeen = c.cutParamSeen;
        session.savedCutParam = 0x08;
        session.resumeAfterReply = 1;
        session.restoreCutParam = 1;
        Recorder recorder;
        Bytes data = Bytes{0x1B, 0x69, 0x4B, 0x03} + Bytes{0x1B, 0x69, 0x4B, 0x04} + Z + FF;
        Scan(session, data, recorder);
        ASSERT_EQ(recorder.segments.size(), 1u);
        EXPECT_EQ(recorder.segments[0].kind, c.kind);
        const Bytes& sent = recorder.segments[0].bytes;
        EXPECT_EQ(sent.back(), c.pageEndByte);
        EXPECT_EQ(sent[3], c.firstCutParam);
        EXPECT_EQ(sent[7], c.secondCutParam);
        EXPECT_EQ(data, sent);  // edited in the caller's buffer
        EXPECT_EQ(session.savedCutParam, c.secondCutParam);
        EXPECT_EQ(session.cutParamSeen, 1);
        EXPECT_EQ(session.resumeAfterReply, c.resumeAfter);
        EXPECT_EQ(session.restoreCutParam, 0);
    }
}

TEST(Scanner, EndOfStreamStepsOverAShortUnknownTail) {
    struct Case {
        const char* name;
        Bytes data;
        u32 normalConsumed, endConsumed;
        std::vector<SegmentKind> endKinds;
    };
    const Case cases[] = {
        {"unknown bytes before FF", {0x41, 0x42, 0x0C}, 0, 3, {SEG_PAGE_END}},
        {"ESC i A head before FF", {0x1B, 0x69, 0x41, 0x0C}, 0, 4, {SEG_PAGE_END}},
        {"ESC i I other before FF", {0x1B, 0x69, 0x49, 0x07, 0x0C}, 0, 5, {SEG_PAGE_END}},
        {"lone ESC", {0x1B}, 0, 0, {}},
        {"cut-short ESC i c", {0x1B, 0x69, 0x63, 0x05, 0x0C}, 0, 0, {}},
        {"cut-short G", {0x47, 0x05, 0x00, 0x0C}, 0, 0, {}},
        {"cut-short block", {0x1B, 0x69, 0x49, 0x58, 0x0C}, 0, 0, {}},
        {"unknown then cut-short M", {0x41, 0x4D}, 0, 1, {SEG_PLAIN}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (ScanMode mode : {ScanMode::Normal, ScanMode::EndOfStream}) {
            PortSession session = NewJob();
            Recorder recorder;
            Bytes data = c.data;
            Outcome out = Scan(session, data, recorder, mode);
            EXPECT_TRUE(out.result);
            if (mode == ScanMode::Normal) {
                EXPECT_EQ(out.consumed, c.normalConsumed);
            } else {
                EXPECT_EQ(out.consumed, c.endConsumed);
                EXPECT_EQ(recorder.kinds(), c.endKinds);
            }
        }
    }
}

TEST(Scanner, HeldBackSegmentLeadsTheNextOne) {
    PortSession session = NewJob();
    Recorder recorder;
    recorder.holdBack = 1;
    Bytes data = Repeat(Z, 701) + Z + FF;
    Outcome out = Scan(session, data, recorder);
    EXPECT_EQ(out.consumed, data.size());
    ASSERT_EQ(recorder.segments.size(), 1u);
    EXPECT_EQ(recorder.segments[0].kind, SEG_PAGE_END);
    EXPECT_EQ(recorder.segments[0].bytes, data);
}

TEST(Scanner, SenderEndsTheCall) {
    for (SendResult ending : {SendResult::EndTrue, SendResult::EndFalse}) {
        PortSession session = NewJob();
        Recorder recorder;
        recorder.endAfter = 1;
        recorder.ending = ending;
        Bytes data = Z + FF + Z + FF;
        Outcome out = Scan(session, data, recorder);
        EXPECT_EQ(out.result, ending == SendResult::EndTrue);
        EXPECT_EQ(out.consumed, 2u);
        EXPECT_EQ(recorder.segments.size(), 1u);

    }
}

// A segment handed back unwritten comes again with the next call: its raster
// lines count then, not twice, or the next split would come early.
TEST(Scanner, SegmentHandedBackIsCountedOnce) {
    PortSession session = NewJob();
    Recorder recorder;
    recorder.handBack = 1;
    Bytes data = Repeat(RasterLine(4), 5) + PADDING;
    Outcome first = Scan(session, data, recorder);
    EXPECT_TRUE(first.result);
    EXPECT_EQ(first.consumed, 0u);
    EXPECT_EQ(session.rasterCount, 0);
    Outcome again = Scan(session, data, recorder);
    EXPECT_EQ(again.consumed, data.size());
    EXPECT_EQ(session.rasterCount, 5);
}

}  // namespace
