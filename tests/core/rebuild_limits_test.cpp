// The rebuild of spooled multi-copy jobs over memory: the block fields, jobs
// past the classic limits, and files and failures it refuses.
#include <gtest/gtest.h>

#include "rig/rebuild_pages.h"

namespace {

using namespace rebuild_rig;

TEST(Rebuild, MoreRecordsAndPiecesThanTheClassicIndexHolds) {
    const struct {
        const char* what;
        u32 records;
        i16 paperId;
        Buf data;
        u32 pages;
    } cases[] = {
        {"20001 records", 20001, 260, {'Z', FF}, 20001},
        {"20002 pieces", 10001, TWO_PIECES, {'Z', FF, 'Z', FF}, 20002},
    };
    for (const auto& c : cases) {
        std::vector<SpoolRecordFields> records(c.records, Record(c.data, 1, 1, 0, c.paperId));
        const Buf out = Rebuild(records);
        const u32 pieceBytes = 2;  // each piece is Z, FF
        ASSERT_EQ(out.size(), c.pages * (92 + pieceBytes) + 2) << c.what;
        const size_t lastBlock = out.size() - 92 - pieceBytes;
        EXPECT_EQ(out[lastBlock + 16] | out[lastBlock + 17] << 8, int(c.pages)) << c.what;
        EXPECT_EQ(out[lastBlock + 18] | out[lastBlock + 19] << 8, int(c.pages)) << c.what;
        EXPECT_EQ(out.back(), SUB) << c.what;
    }
}

TEST(Rebuild, ResetIsSentOncePastSixtyFiveThousandPages) {
    // Four one-byte pieces per record and 16385 copies: 65540 pages.
    const Buf out = Rebuild({Record({FF, FF, FF, FF}, 16385, 1, 0, 289)});
    ASSERT_EQ(out.size(), 65540u * 93 + 2);
    EXPECT_EQ(out[92], ESC);
    EXPECT_EQ(out[93], '@');
    const size_t page65537 = 2 + 65536u * 93;
    EXPECT_EQ(out[page65537 + 16] | out[page65537 + 17] << 8, 1) << "the block's number is 16 bits";
    EXPECT_EQ(out[page65537 + 92], FF);
}

TEST(Rebuild, UnsteppableBytesEndTheWalkNotTheJob) {
    // FindPageEnd stops at 0x01: the first piece takes the whole record and
    // the second is empty; MeasureCommands counts only the ESC i K before it.
    const Buf data{ESC, 'i', 'K', 0x88, 0x01, FF, 'Z', FF};
    const Buf out = Rebuild({Record(data, 1, 1, 0, TWO_PIECES)});
    const Buf expected = Block({1, 2, 0x0004, 8 + 2}) + RESET + data +
                         Block({2, 2, 0x0004, 8 + 2}) + Buf{ESC, 'i', 'K', SUB};
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, InvalidFilesAreRefusedWithoutOutput) {
    const Buf good = SpoolRecordBytes(Record(PageData(0x08, 0, 'a')));
    auto withHeader = [&](u32 headerSize, u32 recordSize) {
        Buf image = good;
        PutLe(image, 0, headerSize, 4);
        PutLe(image, 4, recordSize, 4);
        return image;
    };
    const u32 size = static_cast<u32>(good.size());
    const struct {
        const char* what;
        Buf image;
    } cases[] = {
        {"empty file", {}},
        {"shorter than a header", Buf(good.begin(), good.begin() + 57)},
        {"headerSize 57", withHeader(57, size)},
        {"headerSize 59", withHeader(59, size)},
        {"recordSize 0", withHeader(58, 0)},
        {"recordSize 57", withHeader(58, 57)},
        {"recordSize one past the end", withHeader(58, size + 1)},
        {"recordSize far past the end", withHeader(58, 0xFFFFFFFF)},
        {"trailing bytes after the last record", good + Buf{0x3A, 0, 0, 0}},
        {"second record of size 0", good + withHeader(58, 0)},
        {"second record reaching past the end", good + withHeader(58, size + 1)},
    };
    for (const auto& c : cases) {
        Harness h;
        EXPECT_FALSE(h.run(c.image)) << c.what;
        EXPECT_TRUE(h.out.empty()) << c.what;
    }
}

TEST(Rebuild, AllocationAndWriteFailuresFailTheRebuild) {
    const Buf image = SpoolFileBytes(
        {Record(PageData(0x08, 0x55, 'a'), 2), Record(PageData(0x08, 0x55, 'b'), 2)});
    Harness whole;
    ASSERT_TRUE(whole.run(image));
    ASSERT_GE(whole.allocations, 5) << "three index arrays and two control buffers";
    for (int n = 0; n < whole.allocations; ++n) {
        Harness h;
        h.failAllocation = n;
        EXPECT_FALSE(h.run(image)) << "allocation " << n;
        if (n < 3) {
            EXPECT_TRUE(h.out.empty()) << "index array " << n;
        }
    }
    for (int n = 0; n < whole.writes; ++n) {
        Harness h;
        h.failWrite = n;
        EXPECT_FALSE(h.run(image)) << "write " << n;
        EXPECT_LT(h.out.size(), whole.out.size());
    }
}

TEST(Rebuild, UncollatedOrdersPatchTheSourceImage) {
    Buf image = SpoolFileBytes({Record(PageData(0x08, 0x55, 'a'), 2)});
    Harness h;
    RebuildIo io = h.io();
    ASSERT_TRUE(RebuildJobImage(image.data(), static_cast<u32>(image.size()), &io));
    const Buf data(image.begin() + 58, image.end());
    EXPECT_EQ(data, PageData(0x88, 0, 'a'));
}

}  // namespace
