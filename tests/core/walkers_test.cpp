// The page walkers and the tape table over small command streams.
#include <gtest/gtest.h>

#include <vector>

#include "rebuild/tape_table.h"
#include "rebuild/walkers.h"

namespace {

using Buf = std::vector<u8>;
constexpr u8 ESC = 0x1B;
constexpr u8 FF = 0x0C;
constexpr u8 SUB = 0x1A;

// Exactly sized heap copies, so the sanitizers see any step past the end.
u32 PageEnd(const Buf& data) {
    Buf copy(data);
    return FindPageEnd(copy.data(), copy.data() + copy.size());
}

CommandBytes Measure(const Buf& data) {
    Buf copy(data);
    return MeasureCommands(copy.data(), static_cast<u32>(copy.size()));
}

Buf Extract(const Buf& data, u32 destSize, bool setBit) {
    Buf copy(data);
    Buf dest(destSize, 0);
    ExtractControlCommands(copy.data(), static_cast<u32>(copy.size()), dest.data(), destSize,
                           setBit);
    EXPECT_EQ(copy, data) << "the source is never changed";
    return dest;
}

Buf Patch(const Buf& data, bool setBit) {
    Buf copy(data);
    PatchControlCommands(copy.data(), static_cast<u32>(copy.size()), setBit);
    return copy;
}

struct PageEndCase {
    const char* what;
    Buf data;
    u32 pieceLength;
};

TEST(FindPageEnd, StopsJustPastTheFirstPageEnd) {
    const PageEndCase cases[] = {
        {"form feed first", {FF, 'Z', FF}, 1},
        {"end of job first", {SUB}, 1},
        {"ESC i a, G 2 0, FF", {ESC, 'i', 'a', 1, 'G', 2, 0, FF, FF, FF}, 10},
        {"the step of G carries it over FF bytes", {'G', 2, 0, FF, FF, FF}, 6},
        {"every command kind",
         {0,   3, 'M', 5,   ESC, '@', ESC, 'i', 'S', ESC, 'i',
          'B', 1, 2,   ESC, 'i', 'K', 8,   'Z', SUB, FF},
         20},
        {"no page end: rest of the record", {ESC, '@', 'Z', 'Z'}, 4},
        {"empty record", {}, 0},
        {"unknown byte ends the walk: rest of the record", {'Z', 0x01, FF, FF}, 4},
        {"ESC followed by an unknown letter", {ESC, 'x', FF}, 3},
        {"ESC i followed by an unknown letter", {ESC, 'i', 'z', FF}, 4},
        {"G count runs past the end", {'G', 0xFF, 0xFF, FF}, 4},
        {"G cut inside its count", {'Z', 'G', 1}, 3},
        {"ESC i I is 92 bytes whatever follows", Buf{ESC, 'i', 'I', FF}, 4},
    };
    for (const PageEndCase& c : cases) EXPECT_EQ(PageEnd(c.data), c.pieceLength) << c.what;
}

TEST(FindPageEnd, GivesTenForTheExample) {
    EXPECT_EQ(PageEnd({ESC, 'i', 'a', 'x', 'G', 2, 0, 'y', 'y', FF}), 10u);
}

TEST(FindPageEnd, NeverLooksPastTheBoundItIsGiven) {
    // The page end lies beyond the record's end: it must not be found.
    Buf data{'Z', 'Z', FF};
    EXPECT_EQ(FindPageEnd(data.data(), data.data() + 2), 2u);
    EXPECT_EQ(FindPageEnd(data.data(), data.data()), 0u);
}

TEST(FindPageEnd, JobInfoBlockIsSteppedOverWhole) {
    Buf data(92, FF);
    data[0] = ESC;
    data[1] = 'i';
    data[2] = 'I';
    data.push_back(FF);
    EXPECT_EQ(PageEnd(data), 93u);
}

struct MeasureCase {
    const char* what;
    Buf data;
    u32 control;
    u32 raster;
};

TEST(MeasureCommands, CountsControlAndRasterBytes) {
    const MeasureCase cases[] = {
        {"G 5 0 with data, Z, Z, FF", {'G', 5, 0, 1, 2, 3, 4, 5, 'Z', 'Z', FF}, 0, 9},
        {"ESC @, ESC i S, M x, FF, NUL", {ESC, '@', ESC, 'i', 'S', 'M', 'x', FF, 0}, 8, 0},
        {"G with count 0 is three bytes and no raster", {'G', 0, 0, 'Z'}, 0, 2},
        {"G count is little-endian", Buf{'G', 0x01, 0x01}, 0, 0},  // clipped: nothing follows
        {"ESC i B and ESC i d are five bytes", {ESC, 'i', 'B', 1, 2, ESC, 'i', 'd', 3, 4}, 10, 0},
        {"ESC i K, M, O, R, a are four bytes",
         {ESC, 'i', 'K', 0, ESC, 'i', 'M', 0, ESC, 'i', 'O', 0, ESC, 'i', 'R', 0, ESC, 'i', 'a', 0},
         20,
         0},
        {"ESC i c is eight bytes", {ESC, 'i', 'c', 1, 2, 3, 4, 5, 'Z'}, 8, 2},
        {"NUL and ETX count one each", {0, 3, 0}, 3, 0},
        {"carries on past page ends", {'Z', FF, ESC, '@', SUB, 'Z'}, 2, 4},
        {"stops at an unknown byte", {ESC, '@', 0x02, ESC, '@'}, 2, 0},
        {"stops at ESC with an unknown letter", {'Z', ESC, 'E', 'Z'}, 0, 2},
        {"control command clipped at the end", {ESC, 'i', 'c', 1, 2}, 5, 0},
        {"raster clipped at the end", {'G', 10, 0, 1, 2, 3}, 0, 3},
        {"lone ESC at the end", {'Z', ESC}, 0, 2},
        {"empty", {}, 0, 0},
    };
    for (const MeasureCase& c : cases) {
        CommandBytes t = Measure(c.data);
        EXPECT_EQ(t.control, c.control) << c.what;
        EXPECT_EQ(t.raster, c.raster) << c.what;
    }
}

TEST(MeasureCommands, GCountAboveOneByte) {
    Buf data{'G', 0x01, 0x01};
    data.resize(3 + 257, 0x55);
    data.push_back(FF);
    EXPECT_EQ(Measure(data).raster, 257u);
}

TEST(ExtractControlCommands, CopiesControlCommandsUpToThePageEnd) {
    const Buf data{ESC, '@', ESC, 'i', 'K', 0x08, 'G', 1, 0, 'x', FF, 'M', 2};
    EXPECT_EQ(Extract(data, 6, true), (Buf{ESC, '@', ESC, 'i', 'K', 0x88}));
    // Sized by MeasureCommands over the same data: the M after the page end
    // is counted but not copied, so its bytes stay zero.
    EXPECT_EQ(Measure(data).control, 8u);
    EXPECT_EQ(Extract(data, 8, true), (Buf{ESC, '@', ESC, 'i', 'K', 0x88, 0, 0}));
}

struct ExtractCase {
    const char* what;
    Buf data;
    bool setBit;
    Buf expected;  // also gives the destination size
};

TEST(ExtractControlCommands, EditsTheCopiesOnly) {
    const ExtractCase cases[] = {
        {"cut bit cleared", {ESC, 'i', 'K', 0x88, 'Z'}, false, {ESC, 'i', 'K', 0x08}},
        {"cut bit set", {ESC, 'i', 'K', 0x01}, true, {ESC, 'i', 'K', 0x81}},
        {"ESC i c first parameter zeroed",
         {ESC, 'i', 'c', 9, 8, 7, 6, 5},
         true,
         {ESC, 'i', 'c', 0, 8, 7, 6, 5}},
        {"raster left out", {'Z', 'G', 2, 0, 1, 2, 'M', 1, 0, 3}, true, {'M', 1, 0, 3}},
        {"stops at end of job", {'M', 1, SUB, 'M', 2}, true, {'M', 1, 0, 0}},
        {"stops at an unknown byte", {'M', 1, 0x7F, 'M', 2}, true, {'M', 1, 0, 0}},
        {"ESC i I copied whole", Buf{ESC, 'i', 'I', 'X'}, true, Buf{ESC, 'i', 'I', 'X'}},
        {"clipped ESC i K: no byte past the end",
         {'M', 1, ESC, 'i', 'K'},
         true,
         {'M', 1, ESC, 'i', 'K'}},
        {"a command larger than the destination is not cut",
         {'M', 1, ESC, 'i', 'c', 1, 2, 3, 4, 5},
         true,
         {'M', 1, 0, 0}},
    };
    for (const ExtractCase& c : cases)
        EXPECT_EQ(Extract(c.data, static_cast<u32>(c.expected.size()), c.setBit), c.expected)
            << c.what;
}

TEST(PatchControlCommands, EditsEveryPageInPlace) {
    const Buf data{ESC,  'i', 'K', 0x88, ESC, 'i',  'c', 5,   1,   2, 3, 4, 'G', 1, 0,
                   0x88, FF,  ESC, 'i',  'K', 0x88, ESC, 'i', 'c', 5, 1, 2, 3,   4, SUB};
    Buf cleared = data;
    cleared[3] = 0x08;
    cleared[7] = 0;
    cleared[20] = 0x08;
    cleared[24] = 0;
    EXPECT_EQ(Patch(data, false), cleared);

    Buf set = cleared;
    set[3] = 0x88;
    set[20] = 0x88;
    EXPECT_EQ(Patch(cleared, true), set);
}

TEST(PatchControlCommands, LeavesRasterAndUnknownBytesAlone) {
    const struct {
        const char* what;
        Buf data;
        Buf expected;
    } cases[] = {
        {"K bytes inside raster data",
         {'G', 4, 0, ESC, 'i', 'K', 0x88},
         {'G', 4, 0, ESC, 'i', 'K', 0x88}},
        {"after an unknown byte",
         {ESC, 'i', 'K', 0x88, 0x05, ESC, 'i', 'K', 0x88},
         {ESC, 'i', 'K', 0x08, 0x05, ESC, 'i', 'K', 0x88}},
        {"clipped ESC i c", {ESC, 'i', 'c'}, {ESC, 'i', 'c'}},
        {"ESC i K parameter is the last byte",
         {'Z', ESC, 'i', 'K', 0xFF},
         {'Z', ESC, 'i', 'K', 0x7F}},
    };
    for (const auto& c : cases) EXPECT_EQ(Patch(c.data, false), c.expected) << c.what;
}

struct TapeCase {
    u8 mediaType;
    i16 paperId;
    u8 width;
    u32 pieces;
};

TEST(LookupTapeWidth, Rows) {
    const TapeCase cases[] = {
        {2, 260, 18, 1}, {2, -1, 18, 1},  {2, 0, 18, 1},   {5, 267, 12, 1},   {5, 307, 12, 1},
        {5, 268, 18, 1}, {5, 308, 18, 1}, {5, 300, 0, 1},  {5, 257, 0, 1},    {8, 257, 0, 1},
        {8, -5, 0, 1},   {0, 257, 6, 1},  {0, 262, 36, 1}, {1, 259, 12, 1},   {0, 263, 0, 0},
        {0, 276, 0, 0},  {0, 277, 6, 2},  {1, 281, 24, 2}, {0, 282, 36, 2},   {0, 283, 6, 3},
        {0, 288, 36, 3}, {0, 289, 6, 4},  {0, 294, 36, 4}, {0, 295, 0, 0},    {0, 270, 0, 0},
        {0, -1, 0, 0},   {9, 256, 0, 0},  {9, 258, 9, 1},  {255, 291, 12, 4}, {0, -32768, 0, 0},
    };
    for (const TapeCase& c : cases) {
        u32 pieces = 0xdeadbeef;
        EXPECT_EQ(LookupTapeWidth(c.mediaType, c.paperId, &pieces), c.width)
            << "type " << int(c.mediaType) << " id " << c.paperId;
        EXPECT_EQ(pieces, c.pieces) << "type " << int(c.mediaType) << " id " << c.paperId;
    }
}

}  // namespace
