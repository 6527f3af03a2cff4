// OpenPortEx and ClosePort through the linked monitor and the port monitor stand-in.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include "rig/mutex_threads.h"
#include "rig/network_monitor.h"
#include "rig/linked_monitor.h"

namespace {

TEST(OpenPort, RecordsTheLowerPortAndItsTable) {
    OpenedPort port("QXUSB001");
    ASSERT_TRUE(port.opened);
    PortSession* session = port.session();
    EXPECT_STREQ(session->portName, "QXUSB001");
    EXPECT_EQ(session->portType, PORTTYPE_USB);
    EXPECT_EQ(session->lowerPort, &port.lower.port("QXUSB001"));
    EXPECT_EQ(0, memcmp(&session->lowerMonitor, port.lower.table(), sizeof(MonitorTable)));
    EXPECT_NE(session->openPortMutex, nullptr);
    EXPECT_EQ(session->job.flags, 0u);
    auto opens = port.lower.calls("QXUSB001", PortOp::OpenPort);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].text, "QXUSB001");
}

TEST(OpenPort, ClassifiesThroughTheRealOpen) {
    struct Case {
        const char* name;
        i16 type;
        u16 lpt;
    };
    for (Case c : {Case{"QXCOM1", PORTTYPE_SERIAL, 0}, Case{"LPT2:", PORTTYPE_PARALLEL, 2},
                   Case{"QXusb001", PORTTYPE_OTHER, 0}, Case{"COM1", PORTTYPE_OTHER, 0}}) {
        OpenedPort port(c.name);
        ASSERT_TRUE(port.opened) << c.name;
        EXPECT_EQ(port.session()->portType, c.type) << c.name;
        EXPECT_EQ(port.session()->lptNumber, c.lpt) << c.name;
    }
}

TEST(OpenPort, SecondOpenOfTheSameNameInAnyCaseIsBusy) {
    OpenedPort first("QXUSB001");
    ASSERT_TRUE(first.opened);
    for (const char* name : {"QXUSB001", "qxusb001", "QxUsB001"}) {
        SpoolerPort second{LinkedTable()};
        SetLastError(0xdeadbeef);
        EXPECT_FALSE(second.open(name, first.lower.table())) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY)) << name;
    }
    EXPECT_EQ(first.lower.count("QXUSB001", PortOp::OpenPort), 1u);
    EXPECT_EQ(first.lower.count("qxusb001", PortOp::OpenPort), 0u);
    EXPECT_STREQ(first.session()->portName, "QXUSB001");

    EXPECT_TRUE(first.spooler.close());
    first.opened = false;
    SpoolerPort again{LinkedTable()};
    ASSERT_TRUE(again.open("qxusb001", first.lower.table()));
    EXPECT_TRUE(again.close());
}

TEST(OpenPort, ParallelNameInOtherCaseIsBusy) {
    OpenedPort first("lpt2");
    ASSERT_TRUE(first.opened);
    SpoolerPort second{LinkedTable()};
    EXPECT_FALSE(second.open("LPT2", first.lower.table()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
}

TEST(OpenPort, FailedLowerOpenLeavesNoRecord) {
    FakePortMonitor lower;
    lower.inject(PortOp::OpenPort, {true, ERROR_FILE_NOT_FOUND, 1});
    SpoolerPort port{LinkedTable()};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(port.open("QXCOM2", lower.table()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The next open reaches the port monitor again instead of failing as busy.
    ASSERT_TRUE(port.open("QXCOM2", lower.table()));
    EXPECT_EQ(lower.count("QXCOM2", PortOp::OpenPort), 2u);
    EXPECT_TRUE(port.close());
}

TEST(OpenPort, PortListKeepsTheOrderOfOpening) {
    FakePortMonitor lower;
    SpoolerPort a{LinkedTable()}, b{LinkedTable()}, c{LinkedTable()};
    ASSERT_TRUE(a.open("QXCOM3", lower.table()));
    ASSERT_TRUE(b.open("QXCOM4", lower.table()));
    ASSERT_TRUE(c.open("QXCOM5", lower.table()));
    auto position = [](Handle h) {
        int i = 0;
        for (PortSession* p = g_process.portList; p != nullptr; p = p->next, ++i)
            if (p == h) return i;
        return -1;
    };
    EXPECT_LT(position(a.handle), position(b.handle));
    EXPECT_LT(position(b.handle), position(c.handle));
    EXPECT_TRUE(b.close());  // from the middle
    EXPECT_EQ(position(b.handle), -1);
    EXPECT_LT(position(a.handle), position(c.handle));
    EXPECT_TRUE(a.close());  // the head
    EXPECT_TRUE(c.close());
}

TEST(ClosePort, ClosesBelowOnceAndAlwaysSucceeds) {
    FakePortMonitor lower;
    lower.inject(PortOp::ClosePort, {true, ERROR_GEN_FAILURE, 1});
    SpoolerPort port{LinkedTable()};
    ASSERT_TRUE(port.open("QXCOM6", lower.table()));
    EXPECT_TRUE(port.close());
    EXPECT_EQ(lower.count("QXCOM6", PortOp::ClosePort), 1u);
    EXPECT_FALSE(lower.port("QXCOM6").open);
}

TEST(OpenPort, MutexIsNamedAfterThePort) {
    OpenedPort port("QXCOM7");
    ASSERT_TRUE(port.opened);
    HANDLE byName = OpenMutexA(SYNCHRONIZE, FALSE, "QXCOM7 OpenPort");
    ASSERT_NE(byName, nullptr);
    CloseHandle(byName);
    port.spooler.close();
    port.opened = false;
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, "QXCOM7 OpenPort"), nullptr);
}

// A second load of the monitor (the real DLL beside the linked copy) opens the
// same name with its own port list and shares the named mutex.
TEST(OpenPort, TwoLoadsShareOneNamedMutex) {
    LoadedMonitor dll;
    ASSERT_TRUE(LoadMonitorDll((ProgramDirectory() + "qxlmon.dll").c_str(), dll));
    OpenedPort first("QXUSB777");
    ASSERT_TRUE(first.opened);
    SpoolerPort second{&dll.table};
    ASSERT_TRUE(second.open("QXUSB777", first.lower.table()));

    HANDLE mine = first.session()->openPortMutex;
    HANDLE theirs = Session(second.handle)->openPortMutex;
    ASSERT_EQ(WaitForSingleObject(mine, 0), WAIT_OBJECT_0);
    DWORD theirWait = TryMutexFromAnotherThread(theirs);
    ReleaseMutex(mine);
    EXPECT_EQ(theirWait, static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(second.close());
}

class NetworkPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(RegisterNetworkPortMonitor()); }
    void TearDown() override {
        SetNetworkPorts("NX1");
        SetNetworkEnumFails(false);
    }
};

TEST_F(NetworkPortTest, SpoolerReportsThePortWithTheMonitorName) {
    SetNetworkPorts("QXUSBNET1,NX9");
    DWORD needed = 0, returned = 0;
    EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
    ASSERT_GT(needed, 0u);
    std::vector<BYTE> buffer(needed);
    ASSERT_TRUE(EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned));
    auto* ports = reinterpret_cast<PORT_INFO_2A*>(buffer.data());
    bool seen = false;
    for (DWORD i = 0; i < returned; ++i) {
        if (ports[i].pPortName && std::string(ports[i].pPortName) == "QXUSBNET1") {
            seen = true;
            EXPECT_STREQ(ports[i].pMonitorName, "Quorvin NX-4400 Port");
        }
    }
    EXPECT_TRUE(seen);
}

TEST_F(NetworkPortTest, NetworkTestComesBeforeTheUsbName) {
    SetNetworkPorts("QXUSBNET1,NX9");
    OpenedPort usbNamed("QXUSBNET1");
    ASSERT_TRUE(usbNamed.opened);
    EXPECT_EQ(usbNamed.session()->portType, PORTTYPE_NETWORK);
    {
        OpenedPort plain("NX9");
        ASSERT_TRUE(plain.opened);
        EXPECT_EQ(plain.session()->portType, PORTTYPE_NETWORK);
    }
    // The name must match exactly, case included.
    OpenedPort otherCase("nx9");
    ASSERT_TRUE(otherCase.opened);
    EXPECT_EQ(otherCase.session()->portType, PORTTYPE_OTHER);
}

TEST_F(NetworkPortTest, FailedEnumerationLeavesTheOpenGoing) {
    SetNetworkPorts("QXUSBNET2");
    SetNetworkEnumFails(true);
    OpenedPort port("QXUSBNET2");
    ASSERT_TRUE(port.opened);
    EXPECT_EQ(port.session()->portType, PORTTYPE_USB);
}

}  // namespace
