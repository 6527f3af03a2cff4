// Packet synchronisation: the start of a packet under both rules, the buffer
// moves and the byte-wise header match.
#include <gtest/gtest.h>

#include <vector>

#include "core/port_session.h"
#include "status/packet_sync.h"

namespace {

using Bytes = std::vector<u8>;

Bytes SyncShort(const Bytes& in, PacketStart start) {
    u8 buffer[STATUS_BUFFER_SIZE] = {};
    std::copy(in.begin(), in.end(), buffer);
    u32 count = SyncPacketStart(buffer, static_cast<u32>(in.size()), start);
    return Bytes(buffer, buffer + count);
}

TEST(PacketSync, FindsTheStartAndDropsWhatIsInFront) {
    struct Case {
        Bytes in;
        PacketStart start;
        Bytes out;
    };
    const Case cases[] = {
        {{0x80, 0x20, 0x42}, PacketStart::Pair, {0x80, 0x20, 0x42}},
        {{1, 2, 0x80, 0x20, 9}, PacketStart::Pair, {0x80, 0x20, 9}},
        {{0x80, 0x41, 0x80, 0x20, 7}, PacketStart::Pair, {0x80, 0x20, 7}},
        {{0x80, 0x41, 0x80, 0x20, 7}, PacketStart::Single, {0x80, 0x41, 0x80, 0x20, 7}},
        {{1, 0x80, 0x41, 0x80, 0x20}, PacketStart::Single, {0x80, 0x41, 0x80, 0x20}},
        {{1, 2, 3}, PacketStart::Pair, {}},
        {{1, 2, 3}, PacketStart::Single, {}},
        {{0x80, 0x41}, PacketStart::Pair, {}},
        // a lone 0x80 at the end may be the first byte of a split packet
        {{0x80}, PacketStart::Pair, {0x80}},
        {{1, 2, 0x80}, PacketStart::Pair, {0x80}},
        {{0x80, 0x41, 0x80}, PacketStart::Pair, {0x80}},
        {{0x20, 0x80}, PacketStart::Single, {0x80}},
        {{}, PacketStart::Pair, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "case of " << c.in.size() << " bytes");
        EXPECT_EQ(SyncShort(c.in, c.start), c.out);
    }
}

TEST(PacketSync, CountBeyondTheBufferIsHeldToIt) {
    Bytes bytes(STATUS_BUFFER_SIZE, 0);
    bytes[STATUS_BUFFER_SIZE - 2] = 0x80;
    bytes[STATUS_BUFFER_SIZE - 1] = 0x20;
    u32 count = SyncPacketStart(bytes.data(), 60000, PacketStart::Pair);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x20);
}

TEST(PacketSync, TakesWholePacketsAndKeepsTheRest) {
    u8 buffer[STATUS_BUFFER_SIZE];
    for (u32 i = 0; i < 70; ++i) buffer[i] = static_cast<u8>(i);
    u32 count = 70;
    StatusPacket packet;
    ASSERT_TRUE(TakeStatusPacket(buffer, count, packet));
    EXPECT_EQ(count, 38u);
    EXPECT_EQ(reinterpret_cast<u8*>(&packet)[31], 31);
    EXPECT_EQ(buffer[0], 32);
    ASSERT_TRUE(TakeStatusPacket(buffer, count, packet));
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(buffer[0], 64);
    EXPECT_FALSE(TakeStatusPacket(buffer, count, packet));
    EXPECT_EQ(count, 6u);
}

TEST(PacketSync, ReadRoomNeverPassesTheLimitOrTheBuffer) {
    struct Case {
        u32 count, limit, room;
    };
    for (Case c :
         {Case{0, 32, 32}, Case{24, 32, 8}, Case{32, 32, 0}, Case{40, 32, 0}, Case{0, 640, 640},
          Case{608, 640, 32}, Case{640, 640, 0}, Case{0, 5000, 640}, Case{700, 640, 0}}) {
        EXPECT_EQ(ReadRoom(c.count, c.limit), c.room) << c.count << " of " << c.limit;
    }
}

TEST(PacketSync, HeaderMatchRestartsOnAFreshStartByte) {
    struct Case {
        Bytes bytes;
        u32 matched;
    };
    const Case cases[] = {
        {{0x80, 0x20, 0x42}, 3}, {{0x80, 0x80, 0x20, 0x42}, 3}, {{0x80, 0x20, 0x80, 0x20, 0x42}, 3},
        {{0x80, 0x20, 0x41}, 0}, {{0x80, 0x20, 0x80}, 1},       {{0x20, 0x42}, 0},
        {{0x42, 0x80, 0x20}, 2},
    };
    for (const Case& c : cases) {
        u32 matched = 0;
        for (u8 byte : c.bytes) matched = MatchHeaderByte(matched, byte);
        EXPECT_EQ(matched, c.matched);
    }
}

}  // namespace
