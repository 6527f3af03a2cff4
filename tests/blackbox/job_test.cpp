// Whole jobs through the real DLL, loaded as the spooler loads it.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/port_session.h"
#include "rig/driver_registry.h"
#include "rig/job_run.h"
#include "rig/network_monitor.h"
#include "rig/trace_capture.h"
#include "core/statmon_interface.h"

namespace {

MonitorTable* DllTable() {
    static LoadedMonitor monitor;
    static bool loaded = LoadMonitorDll((ProgramDirectory() + "qxlmon.dll").c_str(), monitor);
    EXPECT_TRUE(loaded);
    return &monitor.table;
}

class DllJob : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterNetworkPortMonitor());
        SetNetworkPorts("NX81");
    }
};

TEST_P(DllJob, ThreePagesReachThePortWithTheirHandshakes) {
    JobRun run(DllTable(), GetParam());
    ASSERT_TRUE(run.opened);
    BuiltJob job = BuildSimpleJob(3);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 1000));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    std::vector<u32> codes = run.notifications();
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], NotifyConnect);
    EXPECT_EQ(codes[1], NotifyJobStart);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyWaiting), 3);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyJobEnd), 1);
    EXPECT_EQ(run.lower.count(run.name, PortOp::EndDocPort), 1u);
}

INSTANTIATE_TEST_SUITE_P(Ports, DllJob,
                         ::testing::Values("QXUSB81", "NX81", "QXCOM8", "LPT8", "FILE81"));

TEST(DllRecovery, CoverOpenIsAnsweredAndThePageSentAgain) {
    JobRun run(DllTable(), "QXUSB82", "normal", "on 0x20005 reply 1");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo1 = 0x02;
    BuiltJob job = BuildSimpleJob(3);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()),
              job.pages[0] + ResetSequenceBytes() + job.pages[1] + job.pages[2]);
    std::vector<u32> codes = run.notifications();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x20005u), 1);
}

}  // namespace

namespace {

// The real DLL reads the driver's trace values and writes its lines.
TEST(DllTrace, JobIsTracedToTheDriversFile) {
    DriverRegistry registry("QX Dll Trace Printer", "QX Dll Trace Driver");
    ASSERT_TRUE(registry.setDriver());
    ASSERT_TRUE(registry.setDword("Trace", 1));
    std::string file = TempTracePath("qxtrace-dll.log");
    ASSERT_TRUE(registry.setText("TraceFile", file));
    BuiltJob job = BuildSimpleJob(1);
    {
        JobRun run(DllTable(), "QXUSB83");
        ASSERT_TRUE(run.spooler.startDoc(registry.printer.c_str(), 5, "Doc1"));
        ASSERT_TRUE(run.write(job.stream, 4096));
        ASSERT_TRUE(run.end());
        EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    }
    EXPECT_EQ(MissingStep(ReadTraceLines(file), {"QXUSB83 job 5 start", "segment: last page",
                                                 "job 5 end: printed", "QXUSB83 close"}),
              "");
    // Ports opened later trace as the last job start said: a job without the
    // trace switches it off again for the tests that follow.
    JobRun untraced(DllTable(), "QXUSB84");
    EXPECT_TRUE(untraced.start());
    EXPECT_TRUE(untraced.end());
    DeleteFileA(file.c_str());
}

}  // namespace
