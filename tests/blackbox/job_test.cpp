// Whole jobs through the real DLL, loaded as the spooler loads it.
#include <gtest/gtest.h>

#include <algorithm>

#include "monitor/port_session.h"
#include "rig/job_run.h"
#include "rig/network_monitor.h"
#include "statmon/statmon_interface.h"

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
              Concat({job.pages[0], ResetSequenceBytes(), job.pages[1], job.pages[2]}));
    std::vector<u32> codes = run.notifications();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x20005u), 1);
}

}  // namespace
