// The status wait loop, the status request and the status check before a
// page, against the emulated printer on every port type.
#include <gtest/gtest.h>

#include "monitor/port_monitor.h"
#include "monitor/ticks.h"
#include "rig/status_port.h"
#include "statmon/statmon_interface.h"
#include "status/status.h"

namespace {

struct PortKind {
    const char* name;
    i16 type;
};
const PortKind kPorts[] = {
    {"QXNET1", PORTTYPE_NETWORK}, {"QXUSB001", PORTTYPE_USB}, {"QXCOM1", PORTTYPE_SERIAL},
    {"LPT1:", PORTTYPE_PARALLEL}, {"FILE:", PORTTYPE_OTHER},
};

std::vector<u32> Notified() { return RecordedNotifications(); }

void ExpectPair(const PortSession& session, i16 c, i16 k) {
    EXPECT_EQ(session.stateClass, c);
    EXPECT_EQ(session.stateCode, k);
}

const std::vector<u8> kPageEnd = {'Z', 'Z', 0x0C};

TEST(StatusWait, PageEndHandshakeFollowsThePrinterOnEveryPortType) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type);
        port.write(kPageEnd);
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
        EXPECT_EQ(port.session->phaseType, 1);
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 0, 0, true));
        EXPECT_EQ(port.session->phaseType, 0);
        EXPECT_EQ(Notified(), std::vector<u32>{NotifyWaiting});
        EXPECT_TRUE(port.printer().toHost.empty());
    }
}

TEST(StatusWait, RequestStatusDecodesTheReplyOnEveryPortType) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type);
        port.printer().noise = {0x00, 0x13, 0x20, 0x41};
        port.printer().mediaWidth = 29;
        EXPECT_TRUE(RequestStatus(*port.session));
        ExpectPair(*port.session, STATE_READY, 0);
        EXPECT_EQ(port.session->lastStatus.mediaWidth, 29);
        auto writes = port.calls(PortOp::WritePort);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].data, (std::vector<u8>{0x1B, 0x69, 0x53}));
    }
}

TEST(StatusWait, StatusReplyEndsAWaitForAPhaseChange) {
    StatusPort port("QXNET1", PORTTYPE_NETWORK);
    StatusPacket good = MakeStatusPacket({.mediaWidth = 50});
    port.queue(good);
    EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
    EXPECT_TRUE(SamePacket(port.session->lastStatus, good));

    StatusPacket bad = MakeStatusPacket({.errorInfo1 = 0x02});
    port.queue(bad);
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
    ExpectPair(*port.session, STATE_ERROR, 5);
    EXPECT_TRUE(SamePacket(port.session->lastStatus, bad));
}

TEST(StatusWait, PrintingEndedBeforeTheReplyEndsTheRequest) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.queue(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
    EXPECT_TRUE(RequestStatus(*port.session));
    StatusPacket zero{};
    EXPECT_TRUE(SamePacket(port.session->lastStatus, zero));
}

TEST(StatusWait, ErrorStatusDuringTheHandshakeFailsWithItsPair) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type);
        port.printer().errorStatusPage = 1;
        port.printer().errorStatusInfo1 = 0x02;
        port.write(kPageEnd);
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
        EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
        ExpectPair(*port.session, STATE_ERROR, 5);
        StatusPacket zero{};
        EXPECT_TRUE(SamePacket(port.session->lastStatus, zero));
    }
}

TEST(StatusWait, PhaseChangesToWaitingPhasesNotifyWhateverIsAwaited) {
    struct Case { u8 phaseType; u16 number; bool notifies; };
    for (Case c : {Case{1, 0, true}, Case{3, 0, true}, Case{2, 0, false}, Case{0, 0, false},
                   Case{1, 1, false}}) {
        SCOPED_TRACE(::testing::Message() << int(c.phaseType) << "/" << c.number);
        StatusPort port("QXCOM1", PORTTYPE_SERIAL);
        port.queue(PhasePacket(c.phaseType, c.number));
        port.queue(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 5, 5, true));
        EXPECT_EQ(port.session->phaseType, c.phaseType);
        EXPECT_EQ(Notified(), c.notifies ? std::vector<u32>{NotifyWaiting} : std::vector<u32>{});
    }
}

TEST(StatusWait, PhaseNumberIsBigEndian) {
    StatusPort port("LPT1:", PORTTYPE_PARALLEL);
    port.queue(PhasePacket(4, 0x0102));
    EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 4, 258, true));
    EXPECT_EQ(port.session->phaseNumber, 258);
}

TEST(StatusWait, OtherPacketsLetTheWaitGoOn) {
    StatusPort port("QXNET1", PORTTYPE_NETWORK);
    port.queue(MakeStatusPacket({.statusType = 7}));
    port.queue(MakeStatusPacket({.statusType = 200}));
    port.queue(PhasePacket(0, 1));
    port.queue(PhasePacket(1, 0));
    EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
    EXPECT_TRUE(port.printer().toHost.empty());
}

TEST(StatusWait, PrinterNoticeIsSentOnlyWithoutAStateCode) {
    struct Case { u8 number; i16 code; bool notifies; };
    for (Case c : {Case{1, 0, true}, Case{2, 0, false}, Case{1, 3, false}}) {
        StatusPort port("QXNET1", PORTTYPE_NETWORK);
        SetState(*port.session, STATE_READY, c.code);
        port.queue(MakeStatusPacket({.statusType = STATUS_NOTIFICATION, .notificationNumber = c.number}));
        port.queue(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
        EXPECT_EQ(Notified(), c.notifies ? std::vector<u32>{NotifyPrinterNotice} : std::vector<u32>{});
    }
}

TEST(StatusWait, NotificationThatCannotBeSentFailsTheWait) {
    StatusPort port("QXNET1", PORTTYPE_NETWORK);
    HWND window = port.session->monitorWindow ? static_cast<HWND>(port.session->monitorWindow) : nullptr;
    port.session->monitorWindow = nullptr;  // no application window to be found
    port.queue(PhasePacket(1, 0));
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
    ExpectPair(*port.session, STATE_FATAL, 0);
    port.session->monitorWindow = window;
}

TEST(StatusWait, GonePacketsEndTheWait) {
    for (u8 type : {STATUS_GONE_A, STATUS_GONE_B}) {
        StatusPort port("QXCOM1", PORTTYPE_SERIAL);
        port.queue(MakeStatusPacket({.statusType = type}));
        EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
        ExpectPair(*port.session, STATE_GONE, 0);
    }
}

TEST(StatusWait, ReplyThatNeverComesFailsAfterTheStatusTimeout) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type, 300);
        port.printer().answersStatus = false;
        DWORD begin = GetTickCount();
        EXPECT_FALSE(RequestStatus(*port.session));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 250u);
        EXPECT_LT(elapsed, 10000u);
        ExpectPair(*port.session, STATE_ERROR, CODE_COMM_FAILURE);
        EXPECT_EQ(port.session->resetNeeded, 0);
    }
}

TEST(StatusWait, WaitForAnErrorStatusSucceedsWhenNothingComes) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type, 300);
        SetState(*port.session, STATE_READY, 0);
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_ERROR, 0, 0, false));
        if (p.type == PORTTYPE_USB) {
            // The USB poll says the printer is there: no read at all.
            EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 0u);
            ExpectPair(*port.session, STATE_READY, 0);
        } else if (p.type == PORTTYPE_PARALLEL || p.type == PORTTYPE_OTHER) {
            ExpectPair(*port.session, STATE_NONE, 0);  // a reader timed out
        } else {
            ExpectPair(*port.session, STATE_READY, 0);  // the poll never let a read happen
        }
    }
}

TEST(StatusWait, WaitForAnErrorStatusTakesIt) {
    StatusPort port("QXCOM1", PORTTYPE_SERIAL);
    port.queue(MakeStatusPacket({.statusType = STATUS_ERROR, .errorInfo2 = 0x10}));
    EXPECT_TRUE(WaitForStatus(*port.session, STATUS_ERROR, 0, 0, false));
    ExpectPair(*port.session, STATE_ERROR, 20);
}

TEST(StatusWait, CancelFromTheApplicationEndsAWaitWithoutDeadline) {
    StatusPort port("QXNET1", PORTTYPE_NETWORK);
    port.session->replyState = REPLY_CANCEL;
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
    ExpectPair(*port.session, STATE_FATAL, 0);
    EXPECT_EQ(port.session->resetNeeded, 1);
}

TEST(StatusWait, ReaderFailureWithResetNeededEndsTheWait) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.printer().readError = ERROR_ACCESS_DENIED;
    port.printer().readErrorTimes = 1;
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
    ExpectPair(*port.session, STATE_ERROR, CODE_COMM_FAILURE);
    EXPECT_EQ(port.session->resetNeeded, 1);
}

TEST(StatusWait, StatusRequestWriteFailures) {
    struct Case { i16 type; DWORD error; bool fail; u32 limit; i16 c, k; i32 reset; };
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
        if (c.fail) port.lower().inject(PortOp::WritePort, {true, c.error, 1});
        else if (c.error != 0) port.lower().inject(PortOp::WritePort, {false, c.error, 1});
        port.lower().setWriteLimit(port.port.name, c.limit);
        SetLastError(PORTERR_FATAL);  // stale: must not be taken for the write's
        EXPECT_FALSE(RequestStatus(*port.session));
        ExpectPair(*port.session, c.c, c.k);
        EXPECT_EQ(port.session->resetNeeded, c.reset);
        EXPECT_EQ(port.calls(PortOp::ReadPort).size(), 0u);
        EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->portMutex)));
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
        MutexHolder holder(static_cast<HANDLE>(port.session->portMutex), c.abandon, c.holdMs);
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
    EXPECT_EQ(port.session->statusBufferCount, 0);
    EXPECT_EQ(Notified(), std::vector<u32>{NotifyMediaStatus});
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
        port.session->jobInfo.checkFlags = JIB_CHECK_MEDIA_WIDTH;
        port.session->jobInfo.mediaWidth = 29;
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
    EXPECT_FALSE(CheckPrinterStatus(*port.session));  // page 2, after the drain of page 1's cycle
    ExpectPair(*port.session, STATE_ERROR, 13);
    EXPECT_TRUE(CheckPrinterStatus(*port.session));  // reported once
    port.printer().gonePage = 2;
    EXPECT_FALSE(CheckPrinterStatus(*port.session));
    ExpectPair(*port.session, STATE_GONE, 0);
}

u32 g_tickOffset = 0;
u32 TicksNearWrap() { return GetTickCount() + g_tickOffset; }

TEST(StatusWait, DeadlinesHoldAcrossTheTickWrap) {
    TickSource old = SetTickSource(TicksNearWrap);
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type, 800);
        port.printer().answersStatus = false;
        g_tickOffset = 0xFFFFFFFFu - 50 - GetTickCount();  // the wrap comes 50 ms in
        DWORD begin = GetTickCount();
        EXPECT_FALSE(RequestStatus(*port.session));
        DWORD elapsed = GetTickCount() - begin;
        EXPECT_GE(elapsed, 600u);
        EXPECT_LT(elapsed, 10000u);
        ExpectPair(*port.session, STATE_ERROR, CODE_COMM_FAILURE);
    }
    SetTickSource(old);
}

}  // namespace
