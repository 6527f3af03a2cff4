// The four status packet readers over the port monitor stand-in: packet
// synchronisation, kept bytes, deadlines and the port failure table.
#include <gtest/gtest.h>

#include "core/port_monitor.h"
#include "core/ticks.h"
#include "rig/bytes.h"
#include "rig/status_port.h"
#include "status/status.h"

namespace {

using Reader = bool (*)(PortSession&, StatusPacket&, u32, u32);

struct ReaderCase {
    const char* name;
    i16 portType;
    Reader reader;
};

const ReaderCase kReaders[] = {
    {"network", PORTTYPE_NETWORK, ReadStatusNetwork},
    {"usb", PORTTYPE_USB, ReadStatusUsb},
    {"serial", PORTTYPE_SERIAL, ReadStatusSerial},
    {"bytewise", PORTTYPE_PARALLEL, ReadStatusBytewise},
};
const ReaderCase kPairReaders[] = {kReaders[0], kReaders[1]};

std::vector<u32> ReadSizes(StatusPort& port) {
    std::vector<u32> sizes;
    for (const PortCall& call : port.calls(PortOp::ReadPort)) sizes.push_back(call.size);
    return sizes;
}

TEST(StatusReaders, NoiseInFrontIsDroppedAndThePartialPacketKept) {
    for (const ReaderCase& c : kPairReaders) {
        SCOPED_TRACE(c.name);
        StatusPort port("QXUSB001", c.portType, 200);
        std::vector<u8> packet = PacketBytes(PhasePacket(1, 7));
        port.queueBytes(std::vector<u8>(8, 0x11) +
                        std::vector<u8>(packet.begin(), packet.begin() + 24));
        StatusPacket out;
        EXPECT_FALSE(c.reader(*port.session, out, TickNow(), 200));
        EXPECT_EQ(port.session->stateClass, STATE_ERROR);
        EXPECT_EQ(port.session->stateCode, CODE_TIMED_OUT);
        EXPECT_EQ(port.session->job.status.bufferCount, 24);
        std::vector<u32> sizes = ReadSizes(port);
        ASSERT_GE(sizes.size(), 2u);
        EXPECT_EQ(sizes[0], 32u);
        for (size_t i = 1; i < sizes.size(); ++i) EXPECT_EQ(sizes[i], 8u);

        port.queueBytes(std::vector<u8>(packet.begin() + 24, packet.end()));
        ASSERT_TRUE(c.reader(*port.session, out, TickNow(), 200));
        EXPECT_EQ(PacketBytes(out), packet);
        EXPECT_EQ(port.session->job.status.bufferCount, 0);
    }
}

TEST(StatusReaders, PacketInTwoPartsComesWhole) {
    for (const ReaderCase& c : kReaders) {
        SCOPED_TRACE(c.name);
        StatusPort port("QXUSB001", c.portType);
        StatusPacket packet = PhasePacket(1, 2);
        port.queue(packet);
        port.printer().readChunk = 20;
        StatusPacket out;
        ASSERT_TRUE(c.reader(*port.session, out, TickNow(), 1000));
        EXPECT_TRUE(SamePacket(out, packet));
    }
}

TEST(StatusReaders, BlockReadersAskForTheRestOfAPacket) {
    StatusPort port("QXUSB001", PORTTYPE_NETWORK);
    port.queue(PhasePacket(1, 2));
    port.printer().readChunk = 20;
    StatusPacket out;
    ASSERT_TRUE(ReadStatusNetwork(*port.session, out, TickNow(), 1000));
    EXPECT_EQ(ReadSizes(port), (std::vector<u32>{32, 12}));
}

TEST(StatusReaders, FalseStartIsDroppedUpToTheNextPacket) {
    std::vector<u8> packet = PacketBytes(PhasePacket(1, 3));
    std::vector<u8> front = {0x80, 0x41, 0x05, 0x06};
    for (const ReaderCase& c : kPairReaders) {
        SCOPED_TRACE(c.name);
        StatusPort port("QXUSB001", c.portType);
        port.queueBytes(front + packet);
        StatusPacket out;
        ASSERT_TRUE(c.reader(*port.session, out, TickNow(), 1000));
        EXPECT_EQ(PacketBytes(out), packet);
    }
    // The serial reader starts a packet at any 0x80.
    StatusPort port("QXCOM1", PORTTYPE_SERIAL);
    port.queueBytes(Bytes{0x01} + front + packet);
    StatusPacket out;
    ASSERT_TRUE(ReadStatusSerial(*port.session, out, TickNow(), 1000));
    std::vector<u8> expected = front + packet;
    expected.resize(32);
    EXPECT_EQ(PacketBytes(out), expected);
}

TEST(StatusReaders, SerialReaderKeepsFurtherPacketsForLaterCalls) {
    StatusPort port("QXCOM1", PORTTYPE_SERIAL);
    for (u16 n = 1; n <= 3; ++n) port.queue(PhasePacket(1, n));
    for (u16 n = 1; n <= 3; ++n) {
        StatusPacket out;
        ASSERT_TRUE(ReadStatusSerial(*port.session, out, TickNow(), 1000)) << n;
        EXPECT_EQ(out.phaseNumberLow, n);
        EXPECT_EQ(port.session->job.status.bufferCount, (3 - n) * 32);
        // A packet whole in the buffer is handed over before the port is read again.
        EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 1u);
    }
    EXPECT_EQ(port.calls(PortOp::ReadPort)[0].size, 640u);
}

TEST(StatusReaders, BytewiseReaderFindsTheHeaderAfterAFalseStart) {
    std::vector<u8> body(29);
    for (u32 i = 0; i < body.size(); ++i) body[i] = static_cast<u8>(0xA0 + i);
    for (std::vector<u8> front :
         {std::vector<u8>{0x80, 0x80, 0x20, 0x42}, std::vector<u8>{0x80, 0x20, 0x80, 0x20, 0x42},
          std::vector<u8>{0x42, 0x80, 0x20, 0x41, 0x80, 0x20, 0x42}}) {
        StatusPort port("LPT1:", PORTTYPE_PARALLEL);
        port.queueBytes(front + body);
        StatusPacket out;
        ASSERT_TRUE(ReadStatusBytewise(*port.session, out, TickNow(), 1000));
        EXPECT_EQ(PacketBytes(out), (Bytes{0x80, 0x20, 0x42} + body));
        EXPECT_TRUE(port.printer().toHost.empty());
    }
}

TEST(StatusReaders, NothingComingTimesOutAtTheDeadline) {
    for (const ReaderCase& c : kReaders) {
        SCOPED_TRACE(c.name);
        StatusPort port("QXUSB001", c.portType);
        SetState(*port.session, STATE_READY, 0);
        StatusPacket out;
        DWORD begin = GetTickCount();
        EXPECT_FALSE(c.reader(*port.session, out, TickNow(), 300));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 250u);
        EXPECT_LT(elapsed, 10000u);
        EXPECT_EQ(port.session->stateClass, STATE_ERROR);
        EXPECT_EQ(port.session->stateCode, CODE_TIMED_OUT);
        EXPECT_EQ(port.session->job.resetNeeded, 0);
    }
}

TEST(StatusReaders, ReaderCalledAfterItsDeadlineStillReadsOnce) {
    for (const ReaderCase& c : kReaders) {
        SCOPED_TRACE(c.name);
        StatusPort port("QXUSB001", c.portType);
        StatusPacket packet = PhasePacket(0, 0);
        port.queue(packet);
        StatusPacket out;
        EXPECT_TRUE(c.reader(*port.session, out, TickNow() - 60000, 300));
        EXPECT_TRUE(SamePacket(out, packet));
    }
}

TEST(StatusReaders, ReadFailuresAreClassified) {
    struct Failure {
        DWORD error;
        i16 c, k;
        i32 reset;
    };
    const Failure failures[] = {
        {ERROR_ACCESS_DENIED, STATE_ERROR, CODE_COMM_FAILURE, 1},
        {PORTERR_FATAL, STATE_FATAL, CODE_PORT_FATAL, 1},
        {PORTERR_GONE, STATE_GONE, 0, 0},
    };
    for (const ReaderCase& c : kReaders) {
        for (const Failure& f : failures) {
            SCOPED_TRACE(::testing::Message() << c.name << " error " << f.error);
            StatusPort port("QXUSB001", c.portType);
            port.printer().readError = f.error;
            port.printer().readErrorTimes = -1;
            StatusPacket out;
            EXPECT_FALSE(c.reader(*port.session, out, TickNow(), 5000));
            EXPECT_EQ(port.session->stateClass, f.c);
            EXPECT_EQ(port.session->stateCode, f.k);
            EXPECT_EQ(port.session->job.resetNeeded, f.reset);
            EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 1u);
        }
    }
}

TEST(StatusReaders, UsbReaderWithoutThePortMutexDoesNotRead) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.queue(PhasePacket(1, 0));
    {
        MutexHolder holder(static_cast<HANDLE>(port.session->job.portMutex));
        StatusPacket out;
        EXPECT_FALSE(ReadStatusUsb(*port.session, out, TickNow(), 200));
        EXPECT_EQ(port.session->stateClass, STATE_ERROR);
        EXPECT_EQ(port.session->stateCode, CODE_TIMED_OUT);
        EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 0u);
    }
    StatusPacket out;
    EXPECT_TRUE(ReadStatusUsb(*port.session, out, TickNow(), 200));
    EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->job.portMutex)));
}

// To the wait loop an abandoned mutex is a read that brought nothing: the
// next turn reads.
TEST(StatusReaders, UsbReaderGivesBackAnAbandonedMutex) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.queue(PhasePacket(1, 0));
    MutexHolder holder(static_cast<HANDLE>(port.session->job.portMutex), true);
    SetState(*port.session, STATE_READY, 5);
    StatusPacket out;
    EXPECT_FALSE(ReadStatusUsb(*port.session, out, TickNow(), 200));
    EXPECT_EQ(port.session->stateClass, STATE_ERROR);
    EXPECT_EQ(port.session->stateCode, CODE_TIMED_OUT);
    EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 0u);
    EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->job.portMutex)));
}

TEST(StatusReaders, LoneTrailingStartByteIsKept) {
    for (const ReaderCase& c : kPairReaders) {
        SCOPED_TRACE(c.name);
        StatusPort port("QXUSB001", c.portType);
        std::vector<u8> packet = PacketBytes(PhasePacket(1, 9));
        port.queueBytes({0x01, 0x02, 0x80});
        StatusPacket out;
        EXPECT_FALSE(c.reader(*port.session, out, TickNow(), 100));
        EXPECT_EQ(port.session->job.status.bufferCount, 1);
        port.queueBytes(std::vector<u8>(packet.begin() + 1, packet.end()));
        ASSERT_TRUE(c.reader(*port.session, out, TickNow(), 1000));
        EXPECT_EQ(PacketBytes(out), packet);
    }
}

TEST(StatusReaders, BabblingPortCannotHoldTheBytewiseReaderPastItsDeadline) {
    for (std::vector<u8> babble : {std::vector<u8>{0x11}, std::vector<u8>{0x80, 0x20, 0x41}}) {
        StatusPort port("LPT1:", PORTTYPE_PARALLEL);
        port.printer().babble = babble;
        StatusPacket out;
        DWORD begin = GetTickCount();
        EXPECT_FALSE(ReadStatusBytewise(*port.session, out, TickNow(), 300));
        EXPECT_LT(GetTickCount() - begin, 10000u);
        EXPECT_EQ(port.session->stateCode, CODE_TIMED_OUT);
    }
}

TEST(StatusReaders, DeadlineHoldsAcrossTheTickWrap) {
    TicksNearWrap ticks;
    for (const ReaderCase& c : kReaders) {
        SCOPED_TRACE(c.name);
        ticks.wrapIn(100);
        StatusPort port("QXUSB001", c.portType);
        StatusPacket out;
        DWORD begin = GetTickCount();
        EXPECT_FALSE(c.reader(*port.session, out, TickNow(), 600));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 450u);
        EXPECT_LT(elapsed, 10000u);
    }
}

}  // namespace
