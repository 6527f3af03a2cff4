// The command stream scanner against a recording sender: what reaches the
// port, the in-place edits, page ends, the resumed page and how the sender
// ends a call.
#include <gtest/gtest.h>

#include "rig/scan_recorder.h"

namespace {

using namespace scan_rig;

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
                 Bytes{0x1B, 0x69, 0x64, 0x0C, 0x0C} +
                 Bytes{0x1B, 0x2A, 0x01, 0x00, 0x0C, 0x0C, 0x0C, 0x1A} +
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
    EXPECT_EQ(session.job.data.lastPageEnd, 0x1A);
    Bytes next = Z + FF;
    Scan(session, next, recorder);
    EXPECT_EQ(session.job.data.lastPageEnd, 0x0C);
}

TEST(Scanner, ResumedPageGetsTheJobEndAndTheSavedCutParameter) {
    struct Case {
        const char* name;
        u8 lastPageEnd;
        i32 cutParamSeen;
        SegmentKind kind;                  // of the resent FF
        u8 pageEndByte;                    // as it reaches the port
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
        session.job.data.lastPageEnd = c.lastPageEnd;
        session.job.data.cutParamSeen = c.cutParamSeen;
        session.job.data.savedCutParam = 0x08;
        session.job.data.resumeAfterReply = true;
        session.job.data.restoreCutParam = true;
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
        EXPECT_EQ(session.job.data.savedCutParam, c.secondCutParam);
        EXPECT_EQ(session.job.data.cutParamSeen, 1);
        EXPECT_EQ(session.job.data.resumeAfterReply, c.resumeAfter);
        EXPECT_EQ(session.job.data.restoreCutParam, 0);
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
    EXPECT_EQ(session.job.data.rasterCount, 0);
    Outcome again = Scan(session, data, recorder);
    EXPECT_EQ(again.consumed, data.size());
    EXPECT_EQ(session.job.data.rasterCount, 5);
}

}  // namespace
