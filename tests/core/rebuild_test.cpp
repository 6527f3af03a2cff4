// The rebuild of spooled multi-copy jobs, byte for byte, over memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "../rig/spool_file_builder.h"
#include "rebuild/rebuild.h"

namespace {

using Buf = std::vector<u8>;
constexpr u8 ESC = 0x1B;
constexpr u8 FF = 0x0C;
constexpr u8 SUB = 0x1A;

// Memory output with counted allocations, and a failure at a chosen call.
struct Harness {
    Buf out;
    int writes = 0;
    int allocations = 0;
    int outstanding = 0;
    int failWrite = -1;
    int failAllocation = -1;

    static WinBool Write(void* context, const u8* data, u32 length) {
        Harness* h = static_cast<Harness*>(context);
        EXPECT_GT(length, 0u);
        if (h->writes++ == h->failWrite) return 0;
        h->out.insert(h->out.end(), data, data + length);
        return 1;
    }
    static void* Allocate(void* context, u32 size) {
        Harness* h = static_cast<Harness*>(context);
        EXPECT_GT(size, 0u);
        if (h->allocations++ == h->failAllocation) return nullptr;
        ++h->outstanding;
        return calloc(1, size);
    }
    static void Release(void* context, void* block) {
        --static_cast<Harness*>(context)->outstanding;
        free(block);
    }
    RebuildIo io() { return RebuildIo{this, Write, Allocate, Release}; }

    WinBool run(Buf image) {
        RebuildIo table = io();
        WinBool ok = RebuildJobImage(image.data(), static_cast<u32>(image.size()), &table);
        EXPECT_EQ(outstanding, 0) << "every block is released";
        return ok;
    }
};

Buf Rebuild(const std::vector<SpoolRecordFields>& records) {
    Harness h;
    EXPECT_EQ(h.run(SpoolFileBytes(records)), 1);
    return h.out;
}

// The block the rebuild is expected to write, laid out from its byte table.
struct BlockSpec {
    u16 page;
    u16 total;
    u16 flags;
    u32 pageBytes;
    u8 mediaType = 1;
    u8 width = 18;
    u8 extra = 0;
    u8 setting4 = 0;
};

Buf Block(const BlockSpec& b) {
    Buf out(92, 0);
    out[0] = ESC;
    out[1] = 'i';
    out[2] = 'I';
    out[3] = 'X';
    out[7] = b.mediaType;
    out[8] = b.width;
    out[9] = b.extra;
    out[10] = b.setting4;
    out[11] = 1;
    PutLe(out, 12, b.flags, 2);
    PutLe(out, 14, b.page, 2);
    PutLe(out, 16, b.page, 2);
    PutLe(out, 18, b.total, 2);
    PutLe(out, 20, b.total, 2);
    PutLe(out, 22, 1, 2);
    PutLe(out, 24, b.pageBytes, 4);
    return out;
}

const Buf RESET{ESC, '@'};
const Buf FORM_FEED{FF};

Buf EndJob(Buf stream) {
    stream.back() = SUB;
    return stream;
}

// A one-page record: control commands (14 bytes), two raster bytes, form feed.
Buf PageData(u8 cut, u8 cParam, u8 marker) {
    return {ESC, '@', ESC, 'i', 'K', cut, ESC, 'i', 'c', cParam, 1, 2, 3, 4, 'G', 2, 0, marker, marker, FF};
}
Buf PageControls(u8 cut) { return {ESC, '@', ESC, 'i', 'K', cut, ESC, 'i', 'c', 0, 1, 2, 3, 4}; }

// The same control commands in front of a chosen amount of raster data.
Buf LargePage(u8 cut, u8 cParam, u32 raster) {
    Buf data{ESC, '@', ESC, 'i', 'K', cut, ESC, 'i', 'c', cParam, 1, 2, 3, 4, 'G',
             static_cast<u8>(raster), static_cast<u8>(raster >> 8)};
    data.resize(data.size() + raster, 0x77);
    data.push_back(FF);
    return data;
}

SpoolRecordFields Record(Buf data, i16 copies = 1, u8 collate = 0, u8 reverse = 0, i16 paperId = 260) {
    SpoolRecordFields record;
    record.data = std::move(data);
    record.copies = copies;
    record.collate = collate;
    record.reverseOrder = reverse;
    record.paperId = paperId;
    return record;
}

TEST(Rebuild, OneRecordOneCopyClearsTheCutBitAndEndsTheJob) {
    const Buf out = Rebuild({Record(PageData(0x88, 0x55, 'a'))});
    const Buf expected = Bytes({Block({1, 1, 0x0004, 20 + 94}), RESET, EndJob(PageData(0x08, 0, 'a'))});
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, SmallRasterIsSentOnceAndRepeatedFromMemory) {
    const u32 raster = 32517;
    const u32 length = 14 + 3 + raster + 1;
    const Buf out = Rebuild({Record(LargePage(0x08, 0x55, raster), 3)});
    const Buf expected = Bytes({Block({1, 3, 0x0404, length + 94}), RESET, LargePage(0x88, 0, raster),
                                Block({2, 3, 0x0004, 14 + 93}), PageControls(0x88), FORM_FEED,
                                Block({3, 3, 0x0004, 14 + 93}), PageControls(0x08), Buf{SUB}});
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, LargeRasterIsSentWholeForEveryCopy) {
    const u32 raster = 32518;
    const u32 length = 14 + 3 + raster + 1;
    const Buf out = Rebuild({Record(LargePage(0x88, 0x55, raster), 3)});
    const Buf page = LargePage(0x08, 0, raster);
    const Buf expected = Bytes({Block({1, 3, 0x0004, length + 94}), RESET, page, Block({2, 3, 0x0004, length + 92}),
                                page, Block({3, 3, 0x0004, length + 92}), EndJob(page)});
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, TwoRecordsTwoCopiesUncollatedForward) {
    const Buf b{ESC, '@', ESC, 'i', 'K', 0x08, 'M', 7, 'G', 3, 0, 'b', 'b', 'b', 'Z', FF};
    const Buf bSet{ESC, '@', ESC, 'i', 'K', 0x88, 'M', 7, 'G', 3, 0, 'b', 'b', 'b', 'Z', FF};
    const Buf bControls{ESC, '@', ESC, 'i', 'K', 0x08, 'M', 7};
    const u32 bLength = static_cast<u32>(b.size());
    const Buf out = Rebuild({Record(PageData(0x08, 0x55, 'a'), 2), Record(b, 2)});
    const Buf expected = Bytes({Block({1, 4, 0x0404, 20 + 94}), RESET, PageData(0x88, 0, 'a'),
                                Block({2, 4, 0x0004, 14 + 93}), PageControls(0x08), FORM_FEED,
                                Block({3, 4, 0x0404, bLength + 92}), bSet,
                                Block({4, 4, 0x0004, 8 + 93}), bControls, Buf{SUB}});
    EXPECT_EQ(out, expected);
}

// Two pieces: ESC @, ESC i K, raster, FF | ESC i a, raster, FF.
const Buf PIECE1{ESC, '@', ESC, 'i', 'K', 0x88, 'G', 1, 0, 'x', FF};
const Buf PIECE2{ESC, 'i', 'a', 1, 'G', 1, 0, 'y', FF};
constexpr i16 TWO_PIECES = 280;  // 18 mm

TEST(Rebuild, SecondPieceGetsTheFirstPiecesControlsCollated) {
    const Buf out = Rebuild({Record(Bytes({PIECE1, PIECE2}), 1, 1, 0, TWO_PIECES)});
    // controlBytes counts the second piece's ESC i a too; that room stays zero.
    const Buf controls{ESC, '@', ESC, 'i', 'K', 0x08, 0, 0, 0, 0};
    const Buf expected = Bytes({Block({1, 2, 0x0004, 20 + 2}), RESET, PIECE1, Block({2, 2, 0x0004, 20 + 2}),
                                controls, EndJob(PIECE2)});
    EXPECT_EQ(out, expected);
}

TEST(Rebuild, PiecesUncollatedWithShortCopies) {
    const Buf out = Rebuild({Record(Bytes({PIECE1, PIECE2}), 2, 0, 0, TWO_PIECES)});
    const Buf setControls{ESC, '@', ESC, 'i', 'K', 0x88, 0, 0, 0, 0};
    const Buf clearControls{ESC, '@', ESC, 'i', 'K', 0x08, 0, 0, 0, 0};
    const Buf expected = Bytes({Block({1, 4, 0x0404, 11 + 94}), RESET, PIECE1,
                                Block({2, 4, 0x0004, 10 + 93}), clearControls, FORM_FEED,
                                Block({3, 4, 0x0404, 9 + 92}), setControls, PIECE2,
                                Block({4, 4, 0x0004, 10 + 93}), clearControls, Buf{SUB}});
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
    EXPECT_EQ(Rebuild({Record({}, 1)}), Bytes({Block({1, 1, 0x0004, 0 + 94}), Buf{ESC, SUB}}));
}

TEST(Rebuild, ResetFollowsOnlyTheFirstBlockInReverseOrders) {
    const Buf a = PageData(0x08, 0, 'a');
    const Buf b = PageData(0x08, 0, 'b');
    EXPECT_EQ(Rebuild({Record(a, 1, 1, 1), Record(b, 1, 1, 1)}),
              Bytes({Block({1, 2, 0x0004, 20 + 2}), RESET, b, Block({2, 2, 0x0004, 20}), EndJob(a)}))
        << "collated";
    EXPECT_EQ(Rebuild({Record(a, 1, 0, 1), Record(b, 1, 0, 1)}),
              Bytes({Block({1, 2, 0x0004, 20 + 94}), RESET, b, Block({2, 2, 0x0004, 20 + 92}), EndJob(a)}))
        << "uncollated";
}

struct Page {
    u16 pageNumber;
    u16 partIndex;
    u16 total;
    u8 marker;  // parameter of the page's ESC i a
};

// Pages of an output, each found by its block and named by its ESC i a.
std::vector<Page> Pages(const Buf& out) {
    std::vector<Page> pages;
    for (size_t i = 0; i + 3 < out.size(); ++i) {
        if (out[i] != ESC || out[i + 1] != 'i') continue;
        if (out[i + 2] == 'I' && out[i + 3] == 'X' && i + 92 <= out.size()) {
            pages.push_back(Page{static_cast<u16>(out[i + 16] | out[i + 17] << 8),
                                 static_cast<u16>(out[i + 14] | out[i + 15] << 8),
                                 static_cast<u16>(out[i + 18] | out[i + 19] << 8), 0});
            i += 91;
        } else if (out[i + 2] == 'a' && !pages.empty()) {
            pages.back().marker = out[i + 3];
        }
    }
    return pages;
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
            records.push_back(Record({ESC, 'i', 'a', id, ESC, 'i', 'K', 0x08, 'G', 1, 0, id, FF}, 2, c.collate, c.reverse));
        const std::vector<Page> pages = Pages(Rebuild(records));
        ASSERT_EQ(pages.size(), 6u);
        for (size_t k = 0; k < pages.size(); ++k) {
            EXPECT_EQ(pages[k].marker, c.order[k]) << "collate " << int(c.collate) << " reverse " << int(c.reverse);
            EXPECT_EQ(pages[k].pageNumber, k + 1);
            EXPECT_EQ(pages[k].partIndex, k + 1);
            EXPECT_EQ(pages[k].total, 6);
        }
    }
}

TEST(Rebuild, PageTotalCountsPiecesRecordsAndCopies) {
    for (u8 collate : {0, 1}) {
        for (u8 reverse : {0, 1}) {
            std::vector<SpoolRecordFields> records(3, Record(Bytes({PIECE1, PIECE2}), 2, collate, reverse, TWO_PIECES));
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
        const Buf expected = Bytes({Block({1, 2, c.flags, 22, c.lastType, c.width, 7, u8(c.settingFlag ? 1 : 0)}),
                                    RESET, PageData(0x08, 0, 'a'),
                                    Block({2, 2, c.flags, 20, c.lastType, c.width, 7, u8(c.settingFlag ? 1 : 0)}),
                                    EndJob(PageData(0x08, 0, 'b'))});
        EXPECT_EQ(out, expected) << c.what;
    }
}

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
    const Buf expected = Bytes({Block({1, 2, 0x0004, 8 + 2}), RESET, data, Block({2, 2, 0x0004, 8 + 2}),
                                Buf{ESC, 'i', 'K', SUB}});
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
        {"trailing bytes after the last record", Bytes({good, Buf{0x3A, 0, 0, 0}})},
        {"second record of size 0", Bytes({good, withHeader(58, 0)})},
        {"second record reaching past the end", Bytes({good, withHeader(58, size + 1)})},
    };
    for (const auto& c : cases) {
        Harness h;
        EXPECT_EQ(h.run(c.image), 0) << c.what;
        EXPECT_TRUE(h.out.empty()) << c.what;
    }
}

TEST(Rebuild, AllocationAndWriteFailuresFailTheRebuild) {
    const Buf image = SpoolFileBytes({Record(PageData(0x08, 0x55, 'a'), 2), Record(PageData(0x08, 0x55, 'b'), 2)});
    Harness whole;
    ASSERT_EQ(whole.run(image), 1);
    ASSERT_GE(whole.allocations, 5) << "three index arrays and two control buffers";
    for (int n = 0; n < whole.allocations; ++n) {
        Harness h;
        h.failAllocation = n;
        EXPECT_EQ(h.run(image), 0) << "allocation " << n;
        if (n < 3) {
            EXPECT_TRUE(h.out.empty()) << "index array " << n;
        }
    }
    for (int n = 0; n < whole.writes; ++n) {
        Harness h;
        h.failWrite = n;
        EXPECT_EQ(h.run(image), 0) << "write " << n;
        EXPECT_LT(h.out.size(), whole.out.size());
    }
}

TEST(Rebuild, UncollatedOrdersPatchTheSourceImage) {
    Buf image = SpoolFileBytes({Record(PageData(0x08, 0x55, 'a'), 2)});
    Harness h;
    RebuildIo io = h.io();
    ASSERT_EQ(RebuildJobImage(image.data(), static_cast<u32>(image.size()), &io), 1);
    const Buf data(image.begin() + 58, image.end());
    EXPECT_EQ(data, PageData(0x88, 0, 'a'));
}

}  // namespace
