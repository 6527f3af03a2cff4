// The real DLL, loaded the way the spooler loads it.
#include <gtest/gtest.h>

#include <cstddef>

#include "core/port_monitor.h"
#include "core/port_session.h"
#include "rig/fake_port_monitor.h"
#include "rig/network_monitor.h"
#include "rig/spooler.h"
#include "rig/wide_text.h"

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
    for (const char* name :
         {"InitializeMonitorEx", "InitializePrintMonitor2", "ConnectThreadProc", "DllEntryPoint"})
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

// The wide table: the same operations as the 13-slot one, and the wide
// entries of their own; a language monitor leaves the rest empty.
TEST(DllWide, TableHoldsEightOperations) {
    const Monitor2Table* wide = Dll().table2;
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->cbSize, sizeof(Monitor2Table));
    const MonitorTable& t = Dll().table;
    EXPECT_EQ(wide->WritePort, t.WritePort);
    EXPECT_EQ(wide->ReadPort, t.ReadPort);
    EXPECT_EQ(wide->EndDocPort, t.EndDocPort);
    EXPECT_EQ(wide->ClosePort, t.ClosePort);
    for (const void* filled :
         {(const void*)wide->OpenPortEx, (const void*)wide->StartDocPort,
          (const void*)wide->GetPrinterDataFromPort, (const void*)wide->Shutdown})
        EXPECT_NE(filled, nullptr);
    for (const void* empty :
         {(const void*)wide->EnumPorts, (const void*)wide->OpenPort, (const void*)wide->AddPort,
          (const void*)wide->AddPortEx, (const void*)wide->ConfigurePort,
          (const void*)wide->DeletePort, (const void*)wide->SetPortTimeOuts,
          (const void*)wide->XcvOpenPort, (const void*)wide->XcvDataPort,
          (const void*)wide->XcvClosePort, (const void*)wide->SendRecvBidiDataFromPort})
        EXPECT_EQ(empty, nullptr);
}

// A second load (Wine's spooler loads every monitor for each EnumPorts) has
// its own table, and its Shutdown leaves the first load's ports working.
TEST(DllWide, EachLoadIsShutDownOnItsOwn) {
    auto initialize = reinterpret_cast<InitializePrintMonitor2Fn>(
        reinterpret_cast<void*>(GetProcAddress(Dll().module, "InitializePrintMonitor2")));
    ASSERT_NE(initialize, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(initialize(nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE second = nullptr;
    Monitor2Table* table = initialize(nullptr, &second);
    ASSERT_NE(table, nullptr);
    EXPECT_NE(table, Dll().table2);
    EXPECT_NE(second, Dll().monitor2);
    table->Shutdown(second);

    FakePortMonitor lower;
    Monitor2Table lowerTable = lower.table2(*lower.table());
    SpoolerPort port;
    port.use(Dll().face(Entry::PrintMonitor2));
    ASSERT_TRUE(port.open("QXUSB71", &lowerTable, lower.instance()));
    // What the parallel poll asks as a device is the port monitor's own handle.
    EXPECT_EQ(static_cast<PortSession*>(port.handle)->portMonitorHandle, &lower.port("QXUSB71"));
    EXPECT_TRUE(port.close());
    EXPECT_EQ(lower.count("QXUSB71", PortOp::ClosePort), 1u);
}

// Port names tell ports apart, so one that the ANSI code page (1252 here)
// cannot carry exactly is refused; printer and document names only name
// things and pass; the port monitor always gets the spooler's own text.
TEST(DllWide, NamesOutsideTheCodePage) {
    ASSERT_EQ(GetACP(), 1252u);
    struct Case {
        const char* what;
        const char* port;  // UTF-8
        const char* printer;
        const char* valueName;
        DWORD openError;  // 0: opens
        DWORD dataError;  // the pass-through request with valueName; 0: reaches the port monitor
    };
    const Case cases[] = {
        {"letters of the code page", "QXUSB\xc3\xa9", "\xc3\x89tiquette", "Status", 0, 0},
        {"a letter it lacks", "QXUSB\xd0\x96", "Label", "Status", ERROR_INVALID_NAME, 0},
        {"look-alikes of LPT1 are not LPT1", "\xef\xbc\xac\xef\xbc\xb0\xef\xbc\xb4\xef\xbc\x91",
         "Label", "Status", ERROR_INVALID_NAME, 0},
        {"printer and document names it lacks", "QXUSB72", "Label \xd0\x96", "Status", 0, 0},
        {"a value name it lacks", "QXUSB73", "Label", "Status \xd0\x96", 0, ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePortMonitor lower;
        Monitor2Table lowerTable = lower.table2(*lower.table());
        SpoolerPort port;
        port.use(Dll().face(Entry::PrintMonitor2));
        SetLastError(0xdeadbeef);
        BOOL opened = port.open(c.port, &lowerTable, lower.instance());
        if (c.openError != 0) {
            EXPECT_FALSE(opened);
            EXPECT_EQ(GetLastError(), c.openError);
            EXPECT_EQ(lower.count(c.port, PortOp::OpenPort), 0u);
            continue;
        }
        ASSERT_TRUE(opened);
        EXPECT_EQ(lower.calls(c.port, PortOp::OpenPort).at(0).text, c.port);
        ASSERT_TRUE(port.startDoc(c.printer, 9, c.printer));
        PortCall start = lower.calls(c.port, PortOp::StartDocPort).at(0);
        EXPECT_EQ(start.text, c.printer);
        EXPECT_EQ(start.docName, c.printer);
        u32 status = 0;
        u32 returned = 0;
        SetLastError(0xdeadbeef);
        BOOL answered =
            port.getData(CONTROL_USB_STATUS, c.valueName, &status, sizeof status, &returned);
        EXPECT_EQ(answered, c.dataError == 0);
        if (c.dataError != 0) {
            EXPECT_EQ(GetLastError(), c.dataError);
        } else {
            EXPECT_EQ(lower.calls(c.port, PortOp::GetPrinterDataFromPort).back().text, c.valueName);
        }
        EXPECT_TRUE(port.endDoc());
        EXPECT_TRUE(port.close());
    }
}

// A port monitor's table made for an older spooler is shorter: the slots past
// its size are empty, so a serial port, which needs the control requests,
// takes no job.
TEST(DllWide, ShortPortMonitorTableHasNoSlotsPastItsSize) {
    FakePortMonitor lower;
    Monitor2Table lowerTable = lower.table2(*lower.table());
    lowerTable.cbSize = offsetof(Monitor2Table, GetPrinterDataFromPort);
    SpoolerPort port;
    port.use(Dll().face(Entry::PrintMonitor2));
    ASSERT_TRUE(port.open("QXCOM7", &lowerTable, lower.instance()));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(port.startDoc("Label", 3, "Doc"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_TRUE(port.close());
    EXPECT_EQ(lower.count("QXCOM7", PortOp::ClosePort), 1u);
}

}  // namespace
