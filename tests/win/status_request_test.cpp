// The status request, the status check before a page, and their deadlines,
// against the emulated printer on every port type.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/port_monitor.h"
#include "core/statmon_interface.h"
#include "core/ticks.h"
#include "rig/status_port.h"
#include "status/status.h"

namespace {

TEST(StatusWait, StatusRequestWriteFailures) {
    struct Case {
        i16 type;
        DWORD error;
        bool fail;
        u32 limit;
        i16 c, k;
        i32 reset;
    };
    const Case cases[] = {
        {PORTTYPE_NETWORK, PORTERR_GONE, true, 3, STATE_ERROR, CODE_COMM_FAILURE, 0},
        {PORTTYPE_USB, PORTERR_GONE, true, 3, STATE_GONE, 0, 0},
        {PORTTYPE_SERIAL, PORTERR_FATAL, true, 3, STATE_FATAL, CODE_PORT_FATAL, 1},
        {PORTTYPE_USB, ERROR_GEN_FAILURE, true, 3, STATE_ERROR, CODE_COMM_FAILURE, 0},
        // a write that takes 2 bytes and says nothing is a failure of its own
        {PORTTYPE_PARALLEL, 0, false, 2, STATE_ERROR, CODE_COMM_FAILURE, 0},
        {PORTTYPE_USB, PORTERR_GONE, false, 2, STATE_GONE, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.type << " " << c.error);
        StatusPort port("QXUSB001", c.type);
        if (c.fail)
            port.lower().inject(PortOp::WritePort, {true, c.error, 1});
        else if (c.error != 0)
            port.lower().inject(PortOp::WritePort, {false, c.error, 1});
        port.lower().setWriteLimit(port.port.name, c.limit);
        SetLastError(PORTERR_FATAL);  // stale: must not be taken for the write's
        EXPECT_FALSE(RequestStatus(*port.session));
        ExpectPair(*port.session, c.c, c.k);
        EXPECT_EQ(port.session->job.resetNeeded, c.reset);
        EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 0u);
        EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->job.portMutex)));
    }
}

// Contention for the USB port only delays the request: a mutex held past the
// reply's deadline is a communication failure, never an empty state pair.
TEST(StatusWait, UsbRequestWaitsItsTurnForThePortMutex) {
    struct Case {
        const char* what;
        bool abandon;
        DWORD holdMs;
        bool answered;
    };
    const Case cases[] = {
        {"held past the deadline", false, INFINITE, false},
        {"held for a moment", false, 700, true},
        {"abandoned", true, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StatusPort port("QXUSB001", PORTTYPE_USB, 1500);
        MutexHolder holder(static_cast<HANDLE>(port.session->job.portMutex), c.abandon, c.holdMs);
        EXPECT_EQ(RequestStatus(*port.session), c.answered);
        if (c.answered) continue;
        ExpectPair(*port.session, STATE_ERROR, CODE_COMM_FAILURE);
        EXPECT_EQ(port.calls(PortOp::WritePort).size(), 0u);
    }
}

TEST(StatusCheck, UsbDrainThrowsAwayOldPackets) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    for (int i = 0; i < 3; ++i) port.queue(MakeStatusPacket({.errorInfo1 = 0x01}));
    port.queueBytes({0x80, 0x20, 0x42});  // and a partial one
    EXPECT_TRUE(CheckPrinterStatus(*port.session));
    ExpectPair(*port.session, STATE_READY, 0);
    EXPECT_EQ(port.session->job.status.bufferCount, 0);
    EXPECT_EQ(Notified(), std::vector<u32>{NotifyMediaStatus});
}

// The drain runs where stale packets can wait (the job's first page, after
// a reset, a part, or a print cycle that did not end in the receiving phase)
// and throws away even a "printing ended" or an error status queued before
// the request; after a whole print cycle the request goes at once.
TEST(StatusCheck, UsbDrainRunsOnlyWhereStalePacketsCanWait) {
    struct Case {
        const char* what;
        bool stale;
    };
    for (const Case& c :
         {Case{"stale packets possible", true}, Case{"after a whole print cycle", false}}) {
        SCOPED_TRACE(c.what);
        StatusPort port("QXUSB001", PORTTYPE_USB);
        port.session->job.status.staleStatusPossible = c.stale;
        if (c.stale) {
            port.queue(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
            port.queue(MakeStatusPacket({.statusType = STATUS_ERROR, .errorInfo1 = 0x04}));
        }
        port.lower().clearCalls(port.port.name);
        EXPECT_TRUE(CheckPrinterStatus(*port.session));
        ExpectPair(*port.session, STATE_READY, 0);
        EXPECT_FALSE(port.session->job.status.staleStatusPossible);
        // Without the drain the request is the check's first call to the port.
        std::vector<PortCall> calls = port.port.lower.calls(port.port.name);
        auto request = std::find_if(calls.begin(), calls.end(), [](const PortCall& call) {
            return call.op == PortOp::WritePort;
        });
        ASSERT_NE(request, calls.end());
        bool readFirst = std::any_of(calls.begin(), request, [](const PortCall& call) {
            return call.op == PortOp::ReadPort;
        });
        EXPECT_EQ(readFirst, c.stale);
    }
}

TEST(StatusCheck, UsbDrainEndsWhenThePrinterNeverGoesQuiet) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.printer().babble = PacketBytes(MakeStatusPacket({.statusType = 9}));
    DWORD begin = GetTickCount();
    EXPECT_TRUE(CheckPrinterStatus(*port.session));
    EXPECT_LT(GetTickCount() - begin, 10000u);
    ExpectPair(*port.session, STATE_READY, 0);
}

TEST(StatusCheck, MediaMismatchIsReportedWithTheMediaStatus) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type);
        port.session->job.jobInfo.checkFlags = JIB_CHECK_MEDIA_WIDTH;
        port.session->job.jobInfo.mediaWidth = 29;
        EXPECT_FALSE(CheckPrinterStatus(*port.session));
        ExpectPair(*port.session, STATE_ERROR, CODE_MEDIA_MISMATCH);
        EXPECT_EQ(Notified(), std::vector<u32>{NotifyMediaStatus});
    }
}

TEST(StatusCheck, OtherFailuresSendNoMediaStatus) {
    StatusPort port("QXNET1", PORTTYPE_NETWORK);
    port.printer().errorInfo1 = 0x02;
    EXPECT_FALSE(CheckPrinterStatus(*port.session));
    ExpectPair(*port.session, STATE_ERROR, 5);
    EXPECT_EQ(Notified(), std::vector<u32>{});
}

TEST(StatusCheck, PageFaultsOfTheEmulatedPrinter) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.printer().errorPage = 2;
    port.printer().pageErrorInfo2 = 0x01;
    EXPECT_TRUE(CheckPrinterStatus(*port.session));  // page 1
    port.write(kPageEnd);
    port.session->job.status.staleStatusPossible = true;  // page 1's print cycle was not followed
    EXPECT_FALSE(CheckPrinterStatus(*port.session));  // page 2, after the drain of page 1's cycle
    ExpectPair(*port.session, STATE_ERROR, 13);
    EXPECT_TRUE(CheckPrinterStatus(*port.session));  // reported once
    port.printer().gonePage = 2;
    EXPECT_FALSE(CheckPrinterStatus(*port.session));
    ExpectPair(*port.session, STATE_GONE, 0);
}

TEST(StatusWait, DeadlinesHoldAcrossTheTickWrap) {
    TicksNearWrap ticks;
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type, 800);
        port.printer().answersStatus = false;
        ticks.wrapIn(50);
        DWORD begin = GetTickCount();
        EXPECT_FALSE(RequestStatus(*port.session));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 600u);
        EXPECT_LT(elapsed, 10000u);
        ExpectPair(*port.session, STATE_ERROR, CODE_COMM_FAILURE);
    }
}

}  // namespace
