// Whole jobs through the linked monitor: the emulated printer behind each kind
// of port and the QXSMON.EXE stand-in in front.
#include <gtest/gtest.h>

#include <algorithm>

#include "rig/job_run.h"
#include "rig/network_monitor.h"
#include "core/statmon_interface.h"
#include "rig/linked_monitor.h"

namespace {

std::vector<StatmonRecord> ProgressRecords(const std::vector<StatmonRecord>& records) {
    std::vector<StatmonRecord> out;
    for (const auto& r : Notifications(records))
        if (r.code == NotifyProgress) out.push_back(r);
    return out;
}

u16 BlockU16(const StatmonRecord& r, size_t offset) {
    return static_cast<u16>(r.block[offset] | (r.block[offset + 1] << 8));
}

class ThreePageJob : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterNetworkPortMonitor());
        SetNetworkPorts("NX31");
    }
};

TEST_P(ThreePageJob, PrintsEveryPageWithItsHandshake) {
    JobRun run(LinkedTable(), GetParam());
    ASSERT_TRUE(run.opened);
    BuiltJob job = BuildSimpleJob(3);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);  // the last page ended the job
    ASSERT_TRUE(run.end());

    std::vector<u8> received = run.received();
    EXPECT_EQ(WithoutStatusRequests(received), job.portBytes);
    EXPECT_EQ(CountOf(received, {0x1B, 0x69, 0x53}), 3u);  // one status request per page
    EXPECT_EQ(CountOf(received, ResetSequenceBytes()), 0u);
    EXPECT_EQ(run.lower.count(run.name, PortOp::EndDocPort), 1u);

    auto records = run.statmon.records();
    std::vector<u32> codes = NotifyCodes(records);
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes[0], NotifyConnect);
    EXPECT_EQ(codes[1], NotifyJobStart);
    EXPECT_EQ(codes[2], NotifyPrinting);
    EXPECT_EQ(Count(codes, NotifyMediaSettings), 1u);
    EXPECT_EQ(Count(codes, NotifyMediaStatus), 3u);
    EXPECT_EQ(Count(codes, NotifyWaiting), 3u);
    EXPECT_EQ(Count(codes, NotifyJobEnd), 1u);
    EXPECT_EQ(codes.back(), NotifyJobEnd);

    // Each page is reported from 0 to 100 per cent.
    std::vector<std::pair<u16, u16>> done;
    for (const auto& r : ProgressRecords(records)) {
        ASSERT_GE(r.block.size(), PROGRESS_BLOCK_SIZE);
        if (BlockU16(r, 6) == 100) done.push_back({BlockU16(r, 4), 100});
    }
    EXPECT_EQ(done, (std::vector<std::pair<u16, u16>>{{1, 100}, {2, 100}, {3, 100}}));
}

INSTANTIATE_TEST_SUITE_P(Ports, ThreePageJob,
                         ::testing::Values("QXUSB31", "NX31", "QXCOM3", "LPT3", "FILE31"));

TEST(JobFlow, CommandsCutAcrossWritesWaitInTheCarryBuffer) {
    JobRun run(LinkedTable(), "QXUSB32");
    BuiltJob job = BuildSimpleJob(2, 30, 40);
    ASSERT_TRUE(run.start());
    // Odd chunk sizes cut raster lines, blocks and commands everywhere.
    ASSERT_TRUE(run.write(job.stream, 37));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
}

TEST(JobFlow, BufferEndingInsideARasterLineTakesItAll) {
    JobRun run(LinkedTable(), "QXUSB33");
    BuiltJob job = BuildSimpleJob(1);
    ASSERT_TRUE(run.start());
    PortSession* session = Session(run.spooler.handle);
    // Up to the middle of the first raster line: block, prologue, then part of a G.
    size_t firstG =
        std::find(job.stream.begin() + 92 + 10 + 4 + 13 + 4 + 2, job.stream.end(), 0x47) -
        job.stream.begin();
    std::vector<u8> head(job.stream.begin(), job.stream.begin() + firstG + 5);
    u32 written = 0;
    ASSERT_TRUE(LinkedTable()->WritePort(run.spooler.handle, head.data(), head.size(), &written));
    EXPECT_EQ(written, head.size());
    EXPECT_EQ(session->job.data.carryCount, 5u);
    std::vector<u8> rest(job.stream.begin() + head.size(), job.stream.end());
    ASSERT_TRUE(run.write(rest, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
}

TEST(JobFlow, PageEndAtTheEndOfABufferLeavesNoSegments) {
    JobRun run(LinkedTable(), "QXUSB34");
    BuiltJob job = BuildSimpleJob(2);
    ASSERT_TRUE(run.start());
    size_t firstPage = 92 + job.pages[0].size();  // block and page 1, up to its FF
    std::vector<u8> head(job.stream.begin(), job.stream.begin() + firstPage);
    ASSERT_EQ(head.back(), 0x0C);
    u32 written = 0;
    ASSERT_TRUE(LinkedTable()->WritePort(run.spooler.handle, head.data(), head.size(), &written));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_EQ(session->job.data.pageFirst, nullptr);
    EXPECT_EQ(session->job.data.carryCount, 0u);
    std::vector<u8> rest(job.stream.begin() + firstPage, job.stream.end());
    ASSERT_TRUE(run.write(rest, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
}

TEST(JobFlow, JobWithoutItsLastPageEndsWithJobEndAndReset) {
    JobRun run(LinkedTable(), "QXUSB35");
    BuiltJob job = BuildSimpleJob(2);
    ASSERT_TRUE(run.start());
    std::vector<u8> firstPageOnly(job.stream.begin(),
                                  job.stream.begin() + 92 + job.pages[0].size());
    ASSERT_TRUE(run.write(firstPageOnly, 4096));
    ASSERT_TRUE(run.end());
    std::vector<u8> received = run.received();
    EXPECT_TRUE(EndsWith(received, ResetSequenceBytes()));
    auto calls = run.lower.calls(run.name);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().op, PortOp::EndDocPort);  // the reset went out before it
    EXPECT_EQ(Count(run.notifications(), NotifyJobEnd), 1u);
}

TEST(JobFlow, JobWithoutWritesSkipsTheApplicationAndReleasesEverything) {
    JobRun run(LinkedTable(), "QXUSB36");
    ASSERT_TRUE(run.start());
    PortSession* session = Session(run.spooler.handle);
    ASSERT_TRUE(run.end());
    EXPECT_TRUE(run.statmon.records().empty());  // never started
    EXPECT_EQ(session->job.flags & (PSF_BUSY | PSF_STARTED), 0u);
    EXPECT_EQ(session->job.data.carryBuffer, nullptr);
    EXPECT_EQ(session->job.link.replyEvent, nullptr);
    EXPECT_EQ(session->job.portMutex, nullptr);
    EXPECT_EQ(session->job.link.windowTitle, nullptr);
    EXPECT_EQ(session->job.printerName, nullptr);
    EXPECT_EQ(session->job.documentName, nullptr);
    EXPECT_TRUE(run.received().empty());
    // The port can take the next job at once.
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.end());
}

TEST(JobFlow, MultiCopyJobGoesToTheSpoolFileAndNotToThePort) {
    JobRun run(LinkedTable(), "QXUSB37");
    ASSERT_TRUE(run.start());
    std::vector<u8> job(300);
    for (size_t i = 0; i < job.size(); ++i) job[i] = static_cast<u8>(i * 13);
    job[0] = ':';
    ASSERT_TRUE(run.write(job, 100));
    PortSession* session = Session(run.spooler.handle);
    ASSERT_TRUE(session->job.spool.active);
    std::string path = session->job.spool.path;
    EXPECT_NE(path.find("QXT"), std::string::npos);
    // Stored byte for byte, the ':' included (read through our own handle).
    std::vector<u8> stored(job.size());
    DWORD read = 0;
    SetFilePointer(session->job.spool.file, 0, nullptr, FILE_BEGIN);
    ASSERT_TRUE(ReadFile(session->job.spool.file, stored.data(), stored.size(), &read, nullptr));
    SetFilePointer(session->job.spool.file, 0, nullptr, FILE_END);
    EXPECT_EQ(read, job.size());
    EXPECT_EQ(stored, job);
    EXPECT_TRUE(run.received().empty());
    ASSERT_TRUE(run.end());
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);  // deleted on close
}

TEST(JobFlow, ColonInALaterBufferIsOrdinaryData) {
    JobRun run(LinkedTable(), "QXUSB38");
    BuiltJob job = BuildSimpleJob(1);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_FALSE(Session(run.spooler.handle)->job.spool.active);
}

}  // namespace
