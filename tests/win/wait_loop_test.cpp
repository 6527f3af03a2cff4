// The status wait loop against the emulated printer on every port type.
#include <gtest/gtest.h>

#include "core/port_monitor.h"
#include "core/statmon_interface.h"
#include "core/ticks.h"
#include "rig/status_port.h"
#include "status/status.h"

namespace {

TEST(StatusWait, PageEndHandshakeFollowsThePrinterOnEveryPortType) {
    for (const PortKind& p : kPorts) {
        SCOPED_TRACE(p.name);
        StatusPort port(p.name, p.type);
        port.write(kPageEnd);
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 0, 0, true));
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
    struct Case {
        u8 phaseType;
        u16 number;
        bool notifies;
    };
    for (Case c : {Case{1, 0, true}, Case{3, 0, true}, Case{2, 0, false}, Case{0, 0, false},
                   Case{1, 1, false}}) {
        SCOPED_TRACE(::testing::Message() << int(c.phaseType) << "/" << c.number);
        StatusPort port("QXCOM1", PORTTYPE_SERIAL);
        port.queue(PhasePacket(c.phaseType, c.number));
        port.queue(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 5, 5, true));
        EXPECT_TRUE(port.printer().toHost.empty());  // both packets read
        EXPECT_EQ(Notified(), c.notifies ? std::vector<u32>{NotifyWaiting} : std::vector<u32>{});
    }
}

TEST(StatusWait, PhaseNumberIsBigEndian) {
    StatusPort port("LPT1:", PORTTYPE_PARALLEL);
    port.queue(PhasePacket(4, 0x0102));
    // Only the number read big-endian ends the wait.
    EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 4, 258, true));
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
    struct Case {
        u8 number;
        i16 code;
        bool notifies;
    };
    for (Case c : {Case{1, 0, true}, Case{2, 0, false}, Case{1, 3, false}}) {
        StatusPort port("QXNET1", PORTTYPE_NETWORK);
        SetState(*port.session, STATE_READY, c.code);
        port.queue(
            MakeStatusPacket({.statusType = STATUS_NOTIFICATION, .notificationNumber = c.number}));
        port.queue(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
        EXPECT_TRUE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
        EXPECT_EQ(Notified(),
                  c.notifies ? std::vector<u32>{NotifyPrinterNotice} : std::vector<u32>{});
    }
}

TEST(StatusWait, NotificationThatCannotBeSentFailsTheWait) {
    StatusPort port("QXNET1", PORTTYPE_NETWORK);
    HWND window = port.session->job.link.monitorWindow
                      ? static_cast<HWND>(port.session->job.link.monitorWindow)
                      : nullptr;
    port.session->job.link.monitorWindow = nullptr;  // no application window to be found
    port.queue(PhasePacket(1, 0));
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PHASE_CHANGE, 1, 0, true));
    ExpectPair(*port.session, STATE_FATAL, 0);
    port.session->job.link.monitorWindow = window;
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
        EXPECT_EQ(port.session->job.resetNeeded, 0);
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
    port.session->job.link.replyState = REPLY_CANCEL;
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
    ExpectPair(*port.session, STATE_FATAL, 0);
    EXPECT_EQ(port.session->job.resetNeeded, 1);
}

TEST(StatusWait, ReaderFailureWithResetNeededEndsTheWait) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.printer().readError = ERROR_ACCESS_DENIED;
    port.printer().readErrorTimes = 1;
    EXPECT_FALSE(WaitForStatus(*port.session, STATUS_PRINTING_ENDED, 0, 0, true));
    ExpectPair(*port.session, STATE_ERROR, CODE_COMM_FAILURE);
    EXPECT_EQ(port.session->job.resetNeeded, 1);
}

}  // namespace
