// The rebuild of spooled multi-copy jobs, byte for byte, over memory: copies,
// collation, page order and pieces.
#include <gtest/gtest.h>

#include "rig/rebuild_pages.h"

namespace {

using namespace rebuild_rig;

TEST(Rebuild, OneRecordOneCopyClearsTheCutBitAndEndsTheJob) {
    const Buf out = Rebuild({Record(PageData(0x88, 0x55, 'a'))});
    const Buf expected = Block({1, 1, 0x0004, 20 + 94}) + RESET + EndJob(PageData(0x08, 0, 'a'));
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, SmallRasterIsSentOnceAndRepeatedFromMemory) {
    const u32 raster = 32517;
    const u32 length = 14 + 3 + raster + 1;
    const Buf out = Rebuild({Record(LargePage(0x08, 0x55, raster), 3)});
    const Buf expected = Block({1, 3, 0x0404, length + 94}) + RESET + LargePage(0x88, 0, raster) +
                         Block({2, 3, 0x0004, 14 + 93}) + PageControls(0x88) + FORM_FEED +
                         Block({3, 3, 0x0004, 14 + 93}) + PageControls(0x08) + Buf{SUB};
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, LargeRasterIsSentWholeForEveryCopy) {
    const u32 raster = 32518;
    const u32 length = 14 + 3 + raster + 1;
    const Buf out = Rebuild({Record(LargePage(0x88, 0x55, raster), 3)});
    const Buf page = LargePage(0x08, 0, raster);
    const Buf expected = Block({1, 3, 0x0004, length + 94}) + RESET + page +
                         Block({2, 3, 0x0004, length + 92}) + page +
                         Block({3, 3, 0x0004, length + 92}) + EndJob(page);
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, TwoRecordsTwoCopiesUncollatedForward) {
    const Buf b{ESC, '@', ESC, 'i', 'K', 0x08, 'M', 7, 'G', 3, 0, 'b', 'b', 'b', 'Z', FF};
    const Buf bSet{ESC, '@', ESC, 'i', 'K', 0x88, 'M', 7, 'G', 3, 0, 'b', 'b', 'b', 'Z', FF};
    const Buf bControls{ESC, '@', ESC, 'i', 'K', 0x08, 'M', 7};
    const u32 bLength = static_cast<u32>(b.size());
    const Buf out = Rebuild({Record(PageData(0x08, 0x55, 'a'), 2), Record(b, 2)});
    const Buf expected = Block({1, 4, 0x0404, 20 + 94}) + RESET + PageData(0x88, 0, 'a') +
                         Block({2, 4, 0x0004, 14 + 93}) + PageControls(0x08) + FORM_FEED +
                         Block({3, 4, 0x0404, bLength + 92}) + bSet +
                         Block({4, 4, 0x0004, 8 + 93}) + bControls + Buf{SUB};
    EXPECT_EQ(out, expected);
}

// Two pieces: ESC @, ESC i K, raster, FF | ESC i a, raster, FF.
TEST(Rebuild, SecondPieceGetsTheFirstPiecesControlsCollated) {
    const Buf out = Rebuild({Record(PIECE1 + PIECE2, 1, 1, 0, TWO_PIECES)});
    // controlBytes counts the second piece's ESC i a too; that room stays zero.
    const Buf controls{ESC, '@', ESC, 'i', 'K', 0x08, 0, 0, 0, 0};
    const Buf expected = Block({1, 2, 0x0004, 20 + 2}) + RESET + PIECE1 +
                         Block({2, 2, 0x0004, 20 + 2}) + controls + EndJob(PIECE2);
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, PiecesUncollatedWithShortCopies) {
    const Buf out = Rebuild({Record(PIECE1 + PIECE2, 2, 0, 0, TWO_PIECES)});
    const Buf setControls{ESC, '@', ESC, 'i', 'K', 0x88, 0, 0, 0, 0};
    const Buf clearControls{ESC, '@', ESC, 'i', 'K', 0x08, 0, 0, 0, 0};
    const Buf expected = Block({1, 4, 0x0404, 11 + 94}) + RESET + PIECE1 +
                         Block({2, 4, 0x0004, 10 + 93}) + clearControls + FORM_FEED +
                         Block({3, 4, 0x0404, 9 + 92}) + setControls + PIECE2 +
                         Block({4, 4, 0x0004, 10 + 93}) + clearControls + Buf{SUB};
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, NoPageGivesTheEndOfJobByteAlone) {
    const struct {
        const char* what;
        SpoolRecordFields record;
    } cases[] = {
        {"unknown paper id", Record(PageData(0x08, 0, 'a'), 1, 0, 0, 270)},
        {"negative paper id", Record(PageData(0x08, 0, 'a'), 2, 1, 0, -1)},
        {"copies 0", Record(PageData(0x08, 0, 'a'), 0)},
        {"copies negative, collated", Record(PageData(0x08, 0, 'a'), -3, 1)},
    };
    for (const auto& c : cases) EXPECT_EQ(Rebuild({c.record}), Buf{SUB}) << c.what;
}

TEST(Rebuild, RecordWithoutDataStillEndsOnTheEndOfJobByte) {
    // The last byte written is the ESC @'s second byte; it gives way as any other.
    EXPECT_EQ(Rebuild({Record({}, 1)}), (Block({1, 1, 0x0004, 0 + 94}) + Buf{ESC, SUB}));
}

TEST(Rebuild, ResetFollowsOnlyTheFirstBlockInReverseOrders) {
    const Buf a = PageData(0x08, 0, 'a');
    const Buf b = PageData(0x08, 0, 'b');
    EXPECT_EQ(Rebuild({Record(a, 1, 1, 1), Record(b, 1, 1, 1)}),
              Block({1, 2, 0x0004, 20 + 2}) + RESET + b + Block({2, 2, 0x0004, 20}) + EndJob(a))
        << "collated";
    EXPECT_EQ(
        Rebuild({Record(a, 1, 0, 1), Record(b, 1, 0, 1)}),
        Block({1, 2, 0x0004, 20 + 94}) + RESET + b + Block({2, 2, 0x0004, 20 + 92}) + EndJob(a))
        << "uncollated";
}

TEST(Rebuild, FourOrdersOfThreePagesAndTwoCopies) {
    const struct {
        u8 collate;
        u8 reverse;
        std::vector<u8> order;
    } cases[] = {
        {1, 0, {1, 2, 3, 1, 2, 3}},
        {1, 1, {3, 2, 1, 3, 2, 1}},
        {0, 0, {1, 1, 2, 2, 3, 3}},
        {0, 1, {3, 3, 2, 2, 1, 1}},
    };
    for (const auto& c : cases) {
        std::vector<SpoolRecordFields> records;
        for (u8 id = 1; id <= 3; ++id)
            records.push_back(Record({ESC, 'i', 'a', id, ESC, 'i', 'K', 0x08, 'G', 1, 0, id, FF}, 2,
                                     c.collate, c.reverse));
        const std::vector<Page> pages = Pages(Rebuild(records));
        ASSERT_EQ(pages.size(), 6u);
        for (size_t k = 0; k < pages.size(); ++k) {
            EXPECT_EQ(pages[k].marker, c.order[k])
                << "collate " << int(c.collate) << " reverse " << int(c.reverse);
            EXPECT_EQ(pages[k].pageNumber, k + 1);
            EXPECT_EQ(pages[k].partIndex, k + 1);
            EXPECT_EQ(pages[k].total, 6);
        }
    }
}

TEST(Rebuild, PageTotalCountsPiecesRecordsAndCopies) {
    for (u8 collate : {0, 1}) {
        for (u8 reverse : {0, 1}) {
            std::vector<SpoolRecordFields> records(
                3, Record(PIECE1 + PIECE2, 2, collate, reverse, TWO_PIECES));
            const std::vector<Page> pages = Pages(Rebuild(records));
            ASSERT_EQ(pages.size(), 12u);
            for (size_t k = 0; k < pages.size(); ++k) {
                EXPECT_EQ(pages[k].pageNumber, k + 1);
                EXPECT_EQ(pages[k].total, 12);
            }
        }
    }
}

TEST(Rebuild, BlockMediaFieldsComeFromTheFirstAndLastRecords) {
    SpoolRecordFields first = Record(PageData(0x08, 0, 'a'), 1, 1, 0, 262);  // 36 mm
    first.mediaType = 1;
    first.mediaExtra = 3;
    first.settingFlag = 0;
    const struct {
        const char* what;
        u8 lastType;
        u8 explicitWidth;
        u8 settingFlag;
        u8 width;
        u16 flags;
    } cases[] = {
        {"media type 8 takes the explicit width", 8, 50, 1, 50, 0x000E},
        {"media type 9 checks the type", 9, 50, 0, 36, 0x0006},
        {"other types check the width only", 4, 50, 2, 36, 0x0004},
    };
    for (const auto& c : cases) {
        SpoolRecordFields last = Record(PageData(0x08, 0, 'b'), 5, 0, 1, 999);  // not read
        last.mediaType = c.lastType;
        last.explicitWidth = c.explicitWidth;
        last.settingFlag = c.settingFlag;
        last.mediaExtra = 7;
        const Buf out = Rebuild({first, last});
        const Buf expected =
            (Block({1, 2, c.flags, 22, c.lastType, c.width, 7, u8(c.settingFlag ? 1 : 0)})) +
            RESET + PageData(0x08, 0, 'a') +
            (Block({2, 2, c.flags, 20, c.lastType, c.width, 7, u8(c.settingFlag ? 1 : 0)})) +
            EndJob(PageData(0x08, 0, 'b'));
        EXPECT_EQ(out, expected) << c.what;
    }
}

}  // namespace
