// DecodeStatus: the state pair for every error bit, the printer id, the
// error status and the media checks the page's job information block asks for.
#include <gtest/gtest.h>

#include <cstring>

#include "status/status.h"

namespace {

StatusPacket Reply(u8 info1 = 0, u8 info2 = 0, u8 width = 62, u8 type = 0x0A, u8 extra = 0) {
    StatusPacket packet;
    std::memset(&packet, 0, sizeof packet);
    std::memcpy(packet.header, STATUS_HEADER, 3);
    packet.printerId[0] = 0x30;
    packet.printerId[1] = 0x35;
    packet.errorInfo1 = info1;
    packet.errorInfo2 = info2;
    packet.mediaWidth = width;
    packet.mediaType = type;
    packet.mediaExtra = extra;
    return packet;
}

struct Pair {
    i16 stateClass;
    i16 stateCode;
};

struct DecodeTest : ::testing::Test {
    PortSession session{};
    Pair decode(const StatusPacket& packet, bool expected) {
        SetState(session, 7, 7);
        EXPECT_EQ(DecodeStatus(session, packet), expected);
        return {session.stateClass, session.stateCode};
    }
};

#define EXPECT_PAIR(pair, c, k)        \
    do {                               \
        Pair p_ = (pair);              \
        EXPECT_EQ(p_.stateClass, (c)); \
        EXPECT_EQ(p_.stateCode, (k));  \
    } while (0)

TEST_F(DecodeTest, GoodReplyWithoutChecksIsReady) {
    EXPECT_PAIR(decode(Reply(), true), STATE_READY, 0);
}

TEST_F(DecodeTest, EachErrorBitGivesItsPair) {
    struct Case {
        u8 info1, info2;
        i16 c, k;
    };
    const Case cases[] = {
        {0x01, 0, 2, 1},
        {0x02, 0, 2, 5},
        {0x04, 0, 3, 12},
        {0x08, 0, 2, 19},
        {0x10, 0, 2, 49},
        {0x20, 0, 4, 0},
        {0x40, 0, 3, 24},
        {0x80, 0, 2, 8},
        {0, 0x01, 2, 13},
        {0, 0x02, 2, 9},
        {0, 0x04, 3, 27},
        {0, 0x08, 2, 9},
        {0, 0x10, 2, 20},
        {0, 0x20, 4, 0},
        {0, 0x40, 2, 22},
        // the lowest bit wins, and errorInfo1 before errorInfo2
        {0x03, 0, 2, 1},
        {0xFF, 0xFF, 2, 1},
        {0x40, 0x01, 3, 24},
        // 0x02 is tested before the whole-byte comparison with 0x04
        {0, 0x06, 2, 9},
        {0, 0x05, 2, 13},
        // 0x0C matches neither whole-byte comparison: the later bits decide
        {0, 0x1C, 2, 20},
        {0, 0x2C, 4, 0},
        {0, 0x4C, 2, 22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "info1 " << int(c.info1) << " info2 " << int(c.info2));
        EXPECT_PAIR(decode(Reply(c.info1, c.info2), false), c.c, c.k);
    }
}

TEST_F(DecodeTest, ErrorInfo2BitSevenAndTheValue0x0CAreNotErrors) {
    EXPECT_PAIR(decode(Reply(0, 0x80), true), STATE_READY, 0);
    EXPECT_PAIR(decode(Reply(0, 0x0C), true), STATE_READY, 0);
    EXPECT_PAIR(decode(Reply(0, 0x0C, 0), false), STATE_ERROR, 1);  // goes on to the width test
}

TEST_F(DecodeTest, WrongPrinterIdWinsOverEveryErrorBit) {
    for (u8 id4 : {u8{0x36}, u8{0x00}, u8{0x34}}) {
        StatusPacket packet = Reply(0xFF, 0xFF, 0);
        packet.printerId[1] = id4;
        EXPECT_PAIR(decode(packet, false), STATE_ERROR, CODE_WRONG_PRINTER);
    }
    StatusPacket packet = Reply();
    packet.printerId[0] = 0x31;
    EXPECT_PAIR(decode(packet, false), STATE_ERROR, CODE_WRONG_PRINTER);
}

TEST_F(DecodeTest, ErrorStatusWithoutErrorBitsIsFatal) {
    StatusPacket packet = Reply();
    packet.statusType = STATUS_ERROR;
    session.job.jobInfo.checkFlags = 0x0E;
    session.job.jobInfo.mediaWidth = 62;
    session.job.jobInfo.mediaType = 0x0A;
    EXPECT_PAIR(decode(packet, false), STATE_FATAL, CODE_ERROR_STATUS);
    packet.errorInfo1 = 0x02;
    EXPECT_PAIR(decode(packet, false), STATE_ERROR, 5);
}

TEST_F(DecodeTest, NoMediaLoadedIsErrorOne) {
    EXPECT_PAIR(decode(Reply(0, 0, 0), false), STATE_ERROR, 1);
}

TEST_F(DecodeTest, MediaChecksFollowTheCheckFlags) {
    struct Case {
        u16 flags;
        u8 jobType, jobWidth, jobExtra;
        u8 type, width, extra;
        bool good;
        i16 code;
    };
    const Case cases[] = {
        {0x00, 9, 29, 1, 0x0A, 62, 0, true, 0},    // nothing checked
        {0x02, 9, 62, 0, 0x0A, 62, 0, false, 16},  // type differs, job type 9
        {0x02, 0x0B, 62, 0, 0x0A, 62, 0, false, 15},
        {0x02, 0x0A, 29, 1, 0x0A, 62, 0, true, 0},  // only the type is checked
        {0x04, 0x0B, 29, 0, 0x0A, 62, 0, false, 15},
        {0x04, 0x0B, 62, 1, 0x0A, 62, 0, true, 0},
        {0x08, 0x0B, 29, 1, 0x0A, 62, 0, false, 15},
        {0x08, 0x0B, 29, 0, 0x0A, 62, 0, true, 0},
        {0x0E, 0x0A, 62, 0, 0x0A, 62, 0, true, 0},
        {0x0E, 9, 29, 1, 0x0A, 62, 0, false, 16},  // the type test comes first
        {0x0E00, 9, 29, 1, 0x0A, 62, 0, true, 0},  // only the low byte counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "flags " << c.flags << " job type " << int(c.jobType));
        session.job.jobInfo.checkFlags = c.flags;
        session.job.jobInfo.mediaType = c.jobType;
        session.job.jobInfo.mediaWidth = c.jobWidth;
        session.job.jobInfo.mediaExtra = c.jobExtra;
        Pair pair = decode(Reply(0, 0, c.width, c.type, c.extra), c.good);
        EXPECT_EQ(pair.stateClass, c.good ? STATE_READY : STATE_ERROR);
        EXPECT_EQ(pair.stateCode, c.code);
    }
}

TEST_F(DecodeTest, OtherStatusTypesAndUnreadBytesDoNotMatter) {
    StatusPacket packet = Reply();
    packet.header[2] = 0x00;
    packet.statusType = 6;
    packet.reserved12[0] = 0xFF;
    EXPECT_PAIR(decode(packet, true), STATE_READY, 0);
}

}  // namespace
