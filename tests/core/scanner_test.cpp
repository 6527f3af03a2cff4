// The command stream scanner against a recording sender: where segments end,
// what is taken out, and where raster data splits a page.
#include <gtest/gtest.h>

#include "rig/scan_recorder.h"

namespace {

using namespace scan_rig;

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
    EXPECT_TRUE(session.job.flags & PSF_STOPPED);
    EXPECT_EQ(recorder.sent(), before);
}

struct SplitCase {
    const char* name;
    Bytes page;      // after a page start, ending with FF
    size_t splitAt;  // bytes of the page in the split segment; 0: no split
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
    EXPECT_TRUE(session.job.flags & PSF_COMPRESSED);
    EXPECT_EQ(session.job.data.rasterCount, 4);
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
}  // namespace
