// The job end: the carried tail, commands that can never complete, and an
// application that never exits.
#include <gtest/gtest.h>

#include <algorithm>

#include "rig/job_run.h"
#include "core/wait_bounds.h"
#include "statmon/notify.h"
#include "core/statmon_interface.h"
#include "rig/linked_monitor.h"

namespace {

// The last label's SUB sits behind two bytes no command knows: with fewer than
// 19 bytes after them they wait in the carry buffer, and the job end finishes them.
TEST(JobEnd, LastPageEndBehindUnknownBytesIsStillPrinted) {
    JobRun run(LinkedTable(), "QXUSB71");
    BuiltJob job = BuildSimpleJob(1);
    std::vector<u8> stream = job.stream;
    std::vector<u8> expected = job.portBytes;
    stream.insert(stream.end() - 1, {0x01, 0x02});
    expected.insert(expected.end() - 1, {0x01, 0x02});
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_EQ(session->job.data.carryCount, 3u);
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), expected);
    std::vector<u32> codes = run.notifications();
    EXPECT_EQ(Count(codes, NotifyJobEnd), 1u);  // from the last page, none again at the end
    EXPECT_EQ(CountOf(run.received(), ResetSequenceBytes()), 0u);
}

TEST(JobEnd, IncompleteCommandAtTheEndIsDropped) {
    JobRun run(LinkedTable(), "QXUSB72");
    BuiltJob job = BuildSimpleJob(1);
    std::vector<u8> stream = job.stream;
    stream.pop_back();  // no SUB: the job ends without its last page end
    stream.insert(stream.end(), {0x47, 0x10, 0x00, 0x01});  // a raster line cut short
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(stream, 4096));
    ASSERT_TRUE(run.end());
    std::vector<u8> expected(job.portBytes.begin(), job.portBytes.end() - 1);
    EXPECT_EQ(WithoutStatusRequests(run.received()), expected + ResetSequenceBytes());
}

// One page of a single raster line longer than the carry buffer.
BuiltJob OneLongRasterLine() {
    PageLayout layout;
    layout.rasterLines = 1;
    layout.lineBytes = 12000;
    return BuildJob({layout});
}

// A raster line longer than the carry buffer can never be taken whole from
// small writes: the job stops with an error instead of taking nothing for ever.
TEST(JobEnd, CommandLongerThanTheCarryBufferStopsTheJob) {
    JobRun run(LinkedTable(), "QXUSB73");
    BuiltJob job = OneLongRasterLine();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));  // returns: every byte taken or dropped
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);
    ASSERT_TRUE(run.end());
    std::vector<u32> codes = run.notifications();
    EXPECT_EQ(Count(codes, NotifySystemError), 1u);
    EXPECT_TRUE(EndsWith(run.received(), ResetSequenceBytes()));
}

TEST(JobEnd, SameCommandInOneLargeWriteGoesThrough) {
    JobRun run(LinkedTable(), "QXUSB74");
    BuiltJob job = OneLongRasterLine();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 65536));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
}

// The application is expected to exit at the job end; one that never does
// holds the spooler's thread only for a bounded time.
TEST(JobEnd, ApplicationThatNeverExitsDoesNotHoldTheJobEnd) {
    JobRun run(LinkedTable(), "QXUSB75", "neverexit");
    BuiltJob job = BuildSimpleJob(1);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    DWORD start = GetTickCount();
    ASSERT_TRUE(run.end());
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 40000u);
    PortSession* session = Session(run.spooler.handle);
    EXPECT_EQ(session->job.link.monitorProcess, nullptr);
    EXPECT_EQ(session->job.flags & (PSF_BUSY | PSF_STARTED), 0u);
    EXPECT_EQ(run.lower.count(run.name, PortOp::EndDocPort), 1u);
    // The next job on the port starts at once.
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.end());
}

// The connect thread is still busy at the job end (here it waits for
// monitorLock, as when another port's open is inside its port monitor): the
// job ends all the same, and the reply it then takes reaches no later job on
// the record.
TEST(JobEnd, LateReplyReachesNoLaterJob) {
    JobRun run(LinkedTable(), "QXUSB76");
    BuiltJob job = BuildSimpleJob(1);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    HWND connect = static_cast<HWND>(session->job.link.connectWindow);
    WaitBounds saved = g_waitBounds;
    g_waitBounds.connectThreadExitMs = 300;
    EnterMonitorLock();  // re-entrant: this thread's own calls still go through
    PostMessageA(connect, WM_STATMON, WPARAM{REPLY_CANCEL} << 16, 0);
    ASSERT_TRUE(run.end());
    ASSERT_TRUE(run.start());
    LeaveMonitorLock();
    for (int i = 0; i < 250 && IsWindow(connect); ++i) Sleep(20);  // the late reply is taken
    g_waitBounds = saved;
    EXPECT_FALSE(IsWindow(connect));
    EXPECT_EQ(GetReplyState(*session), REPLY_CONTINUE);
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes + job.portBytes);
}

}  // namespace
