// Port readiness polls and SetPortValue: the control ids asked, the answers
// taken and the readiness codes and state pairs they leave.
#include <gtest/gtest.h>

#include "core/port_monitor.h"
#include "rig/status_port.h"
#include "status/status.h"

namespace {

TEST(PortPolls, NetworkPollWantsAWholePacketWaiting) {
    struct Case {
        u32 queued;
        u32 answerSize;
        int result;
    };
    for (Case c : {Case{31, 4, POLL_NOTHING}, Case{32, 4, POLL_READ}, Case{200, 4, POLL_READ},
                   Case{32, 2, POLL_NOTHING}, Case{0, 4, POLL_NOTHING}}) {
        StatusPort port("NX1", PORTTYPE_NETWORK);
        port.queueBytes(std::vector<u8>(c.queued, 0x80));
        port.printer().networkAnswerSize = c.answerSize;
        port.session->job.status.portReady = PORT_OFFLINE;
        EXPECT_EQ(PollPortReady(*port.session), c.result) << c.queued << " " << c.answerSize;
        EXPECT_EQ(port.session->job.status.portReady, PORT_OFFLINE);  // not touched
        auto calls = port.calls(PortOp::GetPrinterDataFromPort);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].controlId, CONTROL_NETWORK_QUEUED);
        EXPECT_EQ(calls[0].size, 4u);
    }
}

TEST(PortPolls, NetworkPollThatFailsFindsNothing) {
    StatusPort port("NX1", PORTTYPE_NETWORK);
    port.queueBytes(std::vector<u8>(64, 0x80));
    port.lower().inject(PortOp::GetPrinterDataFromPort, {true, ERROR_GEN_FAILURE, 1});
    EXPECT_EQ(PollPortReady(*port.session), POLL_NOTHING);
}

TEST(PortPolls, SerialStatusWordDecides) {
    struct Case {
        u32 word;
        int result;
        i16 ready;
        i16 c, k;
    };
    const Case cases[] = {
        {0x01 | 0x02 | 0x10 | (3u << 16), POLL_READ, PORT_BUSY, 1, 7},
        {0x01 | 0x02 | (2u << 16), POLL_SERIAL_FEW, PORT_READY, 1, 7},
        {0x01 | 0x02 | (40u << 16), POLL_READ, PORT_READY, 1, 7},
        {0x01, POLL_NOTHING, PORT_READY, 1, 0},  // only the code is cleared
        {0x01 | 0x10, POLL_NOTHING, PORT_BUSY, 1, 0},
        {0x02, POLL_READ, PORT_OFFLINE, STATE_ERROR, CODE_COMM_FAILURE},
        {0x00, POLL_STOP, PORT_OFFLINE, STATE_ERROR, CODE_COMM_FAILURE},
        {0x01 | 0x04, POLL_STOP, PORT_OFFLINE, STATE_ERROR, CODE_COMM_FAILURE},
        {0x01 | 0x02 | 0x08, POLL_STOP, PORT_OFFLINE, STATE_ERROR, CODE_COMM_FAILURE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.word);
        StatusPort port("QXCOM1", PORTTYPE_SERIAL);
        port.printer().serialStatus = c.word;
        port.session->job.status.portReady = PORT_OFFLINE;
        SetState(*port.session, STATE_READY, 7);
        EXPECT_EQ(PollPortReady(*port.session), c.result);
        EXPECT_EQ(port.session->job.status.portReady, c.ready);
        EXPECT_EQ(port.session->stateClass, c.c);
        EXPECT_EQ(port.session->stateCode, c.k);
        auto calls = port.calls(PortOp::GetPrinterDataFromPort);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].controlId, CONTROL_SERIAL_STATUS);
        EXPECT_EQ(calls[0].size, 0u);
    }
}

TEST(PortPolls, SerialPollFollowsTheEmulatedQueue) {
    StatusPort port("QXCOM1", PORTTYPE_SERIAL);
    EXPECT_EQ(PollPortReady(*port.session), POLL_NOTHING);
    port.queueBytes({0x80, 0x20});
    EXPECT_EQ(PollPortReady(*port.session), POLL_SERIAL_FEW);
    port.queue(PhasePacket(1, 0));
    EXPECT_EQ(PollPortReady(*port.session), POLL_READ);
}

TEST(PortPolls, SerialRequestFailureIsACommunicationFailure) {
    StatusPort port("QXCOM1", PORTTYPE_SERIAL);
    port.lower().inject(PortOp::GetPrinterDataFromPort, {true, ERROR_GEN_FAILURE, 1});
    EXPECT_EQ(PollPortReady(*port.session), POLL_STOP);
    EXPECT_EQ(port.session->stateClass, STATE_ERROR);
    EXPECT_EQ(port.session->stateCode, CODE_COMM_FAILURE);
}

TEST(PortPolls, SerialBytesAlreadyBufferedNeedNoRequest) {
    StatusPort port("QXCOM1", PORTTYPE_SERIAL);
    port.session->job.status.bufferCount = 5;
    EXPECT_EQ(PollPortReady(*port.session), POLL_READ);
    EXPECT_EQ(port.calls(PortOp::GetPrinterDataFromPort).size(), 0u);
}

TEST(PortPolls, ParallelQueryByteGivesTheReadiness) {
    // The stand-in's handle is no device, so ClearCommError fails and the
    // published query is asked.
    struct Case {
        u8 status;
        i16 ready;
    };
    for (Case c : {Case{0xC0, PORT_BUSY}, Case{0x40, PORT_OFFLINE}, Case{0x80, PORT_READY},
                   Case{0x04, PORT_FAULT}, Case{0x24, PORT_OFF}, Case{0x14, PORT_OFF},
                   Case{0xD4, PORT_OFF}, Case{0x00, PORT_READY}}) {
        SCOPED_TRACE(::testing::Message() << std::hex << int(c.status));
        StatusPort port("LPT1:", PORTTYPE_PARALLEL);
        port.printer().parallelStatus = c.status;
        port.session->job.status.portReady = PORT_OFFLINE;
        EXPECT_EQ(PollPortReady(*port.session), POLL_READ);
        EXPECT_EQ(port.session->job.status.portReady, c.ready);
        auto calls = port.calls(PortOp::GetPrinterDataFromPort);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].controlId, CONTROL_PAR_QUERY);
        EXPECT_EQ(calls[0].size, 4u);
    }
}

TEST(PortPolls, FailedParallelQueryLeavesThePortReady) {
    StatusPort port("LPT1:", PORTTYPE_PARALLEL);
    port.session->job.status.portReady = PORT_FAULT;
    port.lower().inject(PortOp::GetPrinterDataFromPort, {true, ERROR_GEN_FAILURE, 1});
    EXPECT_FALSE(PollParallelPort(*port.session));
    EXPECT_EQ(port.session->job.status.portReady, PORT_READY);
    EXPECT_EQ(PollPortReady(*port.session), POLL_READ);
}

TEST(PortPolls, OtherPortsAlwaysRead) {
    StatusPort port("FILE:", PORTTYPE_OTHER);
    EXPECT_EQ(PollPortReady(*port.session), POLL_READ);
    EXPECT_EQ(port.calls(PortOp::GetPrinterDataFromPort).size(), 0u);
}

TEST(PortPolls, UsbStatusNeedsBothReadyBits) {
    struct Case {
        u32 status;
        int result;
        i16 ready;
        i16 c;
    };
    for (Case c :
         {Case{0x03, POLL_USB_PRESENT, PORT_READY, STATE_READY},
          Case{0xFF, POLL_USB_PRESENT, PORT_READY, STATE_READY},
          Case{0x01, POLL_STOP, PORT_OFF, STATE_GONE}, Case{0x02, POLL_STOP, PORT_OFF, STATE_GONE},
          Case{0x00, POLL_STOP, PORT_OFF, STATE_GONE}}) {
        SCOPED_TRACE(c.status);
        StatusPort port("QXUSB001", PORTTYPE_USB);
        port.printer().usbStatus = c.status;
        SetState(*port.session, STATE_READY, 0);
        EXPECT_EQ(PollPortReady(*port.session), c.result);
        EXPECT_EQ(port.session->job.status.portReady, c.ready);
        EXPECT_EQ(port.session->stateClass, c.c);
        EXPECT_EQ(port.session->stateCode, 0);
        auto calls = port.calls(PortOp::GetPrinterDataFromPort);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].controlId, CONTROL_USB_STATUS);
        EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->job.portMutex)));
    }
}

TEST(PortPolls, UsbPollWithoutThePortMutexTimesOut) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.printer().usbStatus = 0;
    MutexHolder holder(static_cast<HANDLE>(port.session->job.portMutex));
    DWORD begin = GetTickCount();
    EXPECT_EQ(PollPortReady(*port.session), POLL_USB_PRESENT);
    EXPECT_GE(GetTickCount() - begin, 1500u);
    EXPECT_EQ(port.session->stateClass, STATE_ERROR);
    EXPECT_EQ(port.session->stateCode, CODE_TIMED_OUT);
    EXPECT_EQ(port.session->job.status.portReady, PORT_READY);
    EXPECT_EQ(port.calls(PortOp::GetPrinterDataFromPort).size(), 0u);
}

TEST(PortControls, SetPortValueUsesTheControlIdOfThePortType) {
    struct Case {
        i16 type;
        u32 controlId;
    };
    for (Case c :
         {Case{PORTTYPE_NETWORK, CONTROL_NETWORK_VALUE}, Case{PORTTYPE_USB, CONTROL_PORT_VALUE},
          Case{PORTTYPE_SERIAL, CONTROL_PORT_VALUE}, Case{PORTTYPE_PARALLEL, CONTROL_PORT_VALUE},
          Case{PORTTYPE_OTHER, CONTROL_PORT_VALUE}}) {
        SCOPED_TRACE(c.type);
        StatusPort port("QXUSB001", c.type);
        EXPECT_TRUE(SetPortValue(*port.session, 300));
        auto calls = port.calls(PortOp::GetPrinterDataFromPort);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].controlId, c.controlId);
        EXPECT_EQ(calls[0].data, (std::vector<u8>{0x2C, 0x01, 0, 0}));
        EXPECT_EQ(calls[0].size, 0u);
        EXPECT_EQ(calls[0].text, "");
        ASSERT_EQ(port.printer().valuesSet.size(), 1u);
        EXPECT_EQ(port.printer().valuesSet[0].second, 300u);
        EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->job.portMutex)));
    }
}

TEST(PortControls, SetPortValueFailsWithoutThePortMutexOrTheRequest) {
    StatusPort port("QXUSB001", PORTTYPE_USB);
    port.lower().inject(PortOp::GetPrinterDataFromPort, {true, ERROR_GEN_FAILURE, 1});
    EXPECT_FALSE(SetPortValue(*port.session, 100));
    {
        MutexHolder holder(static_cast<HANDLE>(port.session->job.portMutex), true);
        EXPECT_FALSE(SetPortValue(*port.session, 100));  // abandoned: given back, no request
    }
    EXPECT_EQ(port.calls(PortOp::GetPrinterDataFromPort).size(), 1u);
    EXPECT_TRUE(MutexIsFree(static_cast<HANDLE>(port.session->job.portMutex)));
    EXPECT_TRUE(SetPortValue(*port.session, 100));
}

}  // namespace
