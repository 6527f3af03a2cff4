// What Windows is told of the printer through the real DLL: the spooler's
// SetPort, caught in the DLL's import table, at level 3 for the port, once
// when the printer's state changes and once more when it is ready again or
// the job ends; never once a page. A spooler that fails the call, or takes
// seconds over it, changes nothing at the port and holds no other port.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include "rig/job_case.h"
#include "rig/network_monitor.h"
#include "rig/port_status_hook.h"

namespace {

constexpr DWORD ERROR_SEVERITY = PORT_STATUS_TYPE_ERROR;

struct StatusCase {
    const char* name;
    const char* port;
    u8 errorInfo1 = 0, errorInfo2 = 0;  // in the reply before page 2
    bool gone = false;                  // the printer is gone from page 2 on
    DWORD status = 0;                   // what is shown: dwStatus, or 0 with text
    const char* text = nullptr;
    bool clearedAfter = true;     // a clean reply or the job end clears it
    DWORD failWith = 0;           // the spooler fails every SetPort so
    DWORD slowMs = 0;             // or takes this long over each
    std::vector<int> print = {};  // checked when not empty
};

const StatusCase kCases[] = {
    {.name = "NoMedia", .port = "QXUSBS1", .errorInfo1 = 0x01, .status = PORT_STATUS_PAPER_OUT},
    {.name = "EndOfMedia", .port = "QXUSBS2", .errorInfo1 = 0x02, .status = PORT_STATUS_PAPER_OUT},
    {.name = "CoverOpen", .port = "QXUSBS3", .errorInfo2 = 0x10, .status = PORT_STATUS_DOOR_OPEN},
    {.name = "MediaNotFed", .port = "QXUSBS4", .errorInfo2 = 0x40, .status = PORT_STATUS_PAPER_JAM},
    {.name = "ReplaceMedia",
     .port = "QXUSBS5",
     .errorInfo2 = 0x01,
     .status = PORT_STATUS_PAPER_PROBLEM},
    {.name = "BatteriesWeakSaidByText",
     .port = "QXUSBS6",
     .errorInfo1 = 0x08,
     .text = "Batteries weak"},
    // A stopped job clears what it showed at its end.
    {.name = "CutterJamStopsTheJob",
     .port = "QXUSBS7",
     .errorInfo1 = 0x04,
     .status = PORT_STATUS_PAPER_JAM},
    // A printer off or gone stays shown offline after the job.
    {.name = "PrinterGoneStaysOffline",
     .port = "QXUSBS8",
     .gone = true,
     .status = PORT_STATUS_OFFLINE,
     .clearedAfter = false},
    // Every port kind tells it alike.
    {.name = "CoverOpenOnNetwork",
     .port = "NXS1",
     .errorInfo2 = 0x10,
     .status = PORT_STATUS_DOOR_OPEN},
    {.name = "CoverOpenOnSerial",
     .port = "QXCOM4",
     .errorInfo2 = 0x10,
     .status = PORT_STATUS_DOOR_OPEN},
    {.name = "CoverOpenOnParallel",
     .port = "LPT2",
     .errorInfo2 = 0x10,
     .status = PORT_STATUS_DOOR_OPEN},
    {.name = "CoverOpenOnOther",
     .port = "FILES1",
     .errorInfo2 = 0x10,
     .status = PORT_STATUS_DOOR_OPEN},
    // The spooler's trouble is not the job's.
    {.name = "FailingSetPortChangesNothing",
     .port = "QXUSBS9",
     .errorInfo2 = 0x10,
     .status = PORT_STATUS_DOOR_OPEN,
     .failWith = ERROR_ACCESS_DENIED,
     .print = {0, RESET, 1, 2}},
    {.name = "SlowSetPortHoldsNoOtherPort",
     .port = "QXUSBS0",
     .errorInfo2 = 0x10,
     .status = PORT_STATUS_DOOR_OPEN,
     .slowMs = 2000,
     .print = {0, RESET, 1, 2}},
};

class PortStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(PortStatus, IsShownOnceAndClearedWhenReady) {
    const StatusCase& c = GetParam();
    ASSERT_TRUE(RegisterNetworkPortMonitor());
    SetNetworkPorts("NXS1");
    SetPortAnswerScope answer({c.failWith, c.slowMs});
    JobRun run(&ProgramDll().table, c.port, "normal", "on error reply 1");
    ASSERT_TRUE(run.opened);
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo1 = c.errorInfo1;
    run.printer().pageErrorInfo2 = c.errorInfo2;
    if (c.gone) run.printer().gonePage = 2;
    BuiltJob job = BuildSimpleJob(3);
    bool otherPortOpened = false;
    RunBounded(c.name, 60000, [&] {
        Background other([&] {
            if (c.slowMs == 0) return;
            for (int i = 0; i < 2000 && !SetPortBusy(); ++i) Sleep(10);
            FakePortMonitor lower;
            SpoolerPort port;
            port.table = &ProgramDll().table;
            otherPortOpened = port.open("QXUSBS09", lower.table()) && port.close() && SetPortBusy();
        });
        run.start();
        run.write(job.stream, 4096);
        run.end();
    });

    std::vector<PortStatusCall> calls = SetPortCalls(c.port);
    ASSERT_EQ(calls.size(), c.clearedAfter ? 2u : 1u);
    for (const PortStatusCall& call : calls) {
        EXPECT_TRUE(call.local);
        EXPECT_EQ(call.level, 3u);
    }
    EXPECT_EQ(calls[0].status, c.status);
    EXPECT_EQ(calls[0].hasText, c.text != nullptr);
    EXPECT_EQ(calls[0].text, c.text != nullptr ? c.text : "");
    EXPECT_EQ(calls[0].severity, ERROR_SEVERITY);
    EXPECT_EQ(calls.back().cleared(), c.clearedAfter);
    std::vector<u8> print = c.print.empty() ? std::vector<u8>() : ExpectedPrint(job, c.print);
    EXPECT_TRUE(c.print.empty() || WithoutStatusRequests(run.received()) == print);
    EXPECT_EQ(otherPortOpened, c.slowMs != 0);
}

INSTANTIATE_TEST_SUITE_P(States, PortStatus, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A job that meets no trouble tells Windows nothing; one after a printer was
// left offline clears that as soon as it finds the printer ready.
TEST(PortStatusJobs, PlainJobSetsNothingButClearsAnOfflinePrinter) {
    JobRun run(&ProgramDll().table, "QXUSBS02");
    BuiltJob job = BuildSimpleJob(2);
    RunBounded("plain jobs", 60000, [&] {
        run.start();
        run.write(job.stream, 4096);
        run.end();
    });
    EXPECT_TRUE(SetPortCalls("QXUSBS02").empty());

    run.printer().gonePage = 1;
    RunBounded("a job whose printer is gone", 60000, [&] {
        run.start();
        run.write(job.stream, 4096);
        run.end();
    });
    run.lower.withLock([&] { run.printer().clearErrors(); });
    RunBounded("a job that finds it back", 60000, [&] {
        run.start();
        run.write(job.stream, 4096);
        run.end();
    });
    std::vector<PortStatusCall> calls = SetPortCalls("QXUSBS02");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].status, static_cast<DWORD>(PORT_STATUS_OFFLINE));
    EXPECT_TRUE(calls[1].cleared());
}

}  // namespace
