// The real DLL, loaded the way the spooler loads it.
#include <gtest/gtest.h>

#include "core/port_session.h"
#include "rig/fake_port_monitor.h"
#include "rig/network_monitor.h"
#include "rig/spooler.h"

namespace {

LoadedMonitor& Dll() {
    static LoadedMonitor monitor;
    static bool loaded = LoadMonitorDll((ProgramDirectory() + "qxlmon.dll").c_str(), monitor);
    EXPECT_TRUE(loaded);
    return monitor;
}

TEST(Dll, ExportsTheEntryPointsByName) {
    HMODULE module = Dll().module;
    ASSERT_NE(module, nullptr);
    for (const char* name : {"InitializeMonitorEx", "ConnectThreadProc", "DllEntryPoint"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
}

TEST(Dll, TableHoldsSevenOperations) {
    const MonitorTable& t = Dll().table;
    EXPECT_EQ(t.EnumPorts, nullptr);
    EXPECT_EQ(t.OpenPort, nullptr);
    EXPECT_NE(t.OpenPortEx, nullptr);
    EXPECT_NE(t.StartDocPort, nullptr);
    EXPECT_NE(t.WritePort, nullptr);
    EXPECT_NE(t.ReadPort, nullptr);
    EXPECT_NE(t.EndDocPort, nullptr);
    EXPECT_NE(t.ClosePort, nullptr);
    EXPECT_EQ(t.AddPort, nullptr);
    EXPECT_EQ(t.ConfigurePort, nullptr);
    EXPECT_EQ(t.DeletePort, nullptr);
    EXPECT_NE(t.GetPrinterDataFromPort, nullptr);
    EXPECT_EQ(t.SetPortTimeOuts, nullptr);
}

TEST(Dll, OpensRefusesAndClosesPorts) {
    FakePortMonitor lower;
    SpoolerPort port{&Dll().table};
    ASSERT_TRUE(port.open("QXUSB001", lower.table()));
    SpoolerPort again{&Dll().table};
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(again.open("qxusb001", lower.table()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_TRUE(port.close());
    EXPECT_EQ(lower.count("QXUSB001", PortOp::ClosePort), 1u);
    ASSERT_TRUE(again.open("qxusb001", lower.table()));
    EXPECT_TRUE(again.close());
}

TEST(Dll, ClassifiesANetworkPortThroughTheSpooler) {
    ASSERT_TRUE(RegisterNetworkPortMonitor());
    SetNetworkPorts("QXUSBNET5");
    FakePortMonitor lower;
    SpoolerPort port{&Dll().table};
    ASSERT_TRUE(port.open("QXUSBNET5", lower.table()));
    EXPECT_EQ(static_cast<PortSession*>(port.handle)->portType, PORTTYPE_NETWORK);
    EXPECT_TRUE(port.close());
}

}  // namespace
