// How segments reach the port: network pieces, ports that take nothing, the
// port mutex, raster splits and the application's pause.
#include <gtest/gtest.h>

#include <algorithm>

#include "rig/job_run.h"
#include "rig/mutex_threads.h"
#include "rig/network_monitor.h"
#include "core/statmon_interface.h"
#include "rig/linked_monitor.h"

namespace {

// One page whose data segment (after its block) is exactly size bytes.
std::vector<u8> PageOfSize(u32 size, PageLayout layout = {}) {
    std::vector<u8> data = {0x1B, 0x69, 0x61, 0x01};
    u32 lineBytes = size - 4 - 3 - 1;
    data.push_back(0x47);
    data.push_back(static_cast<u8>(lineBytes & 0xFF));
    data.push_back(static_cast<u8>(lineBytes >> 8));
    for (u32 i = 0; i < lineBytes; ++i) data.push_back(static_cast<u8>(0x80 | i));
    data.push_back(0x1A);
    std::vector<u8> job = JobInfoBytes(layout, 1, size);
    job.insert(job.end(), data.begin(), data.end());
    return job;
}

std::vector<u32> DataWriteSizes(JobRun& run) {
    std::vector<u32> sizes;
    for (const PortCall& call : run.lower.calls(run.name, PortOp::WritePort))
        if (call.size != 3 || call.data != std::vector<u8>{0x1B, 0x69, 0x53})
            sizes.push_back(call.size);
    return sizes;
}

TEST(Transmission, NetworkPortsGetPiecesOf256AfterTheLanSleep) {
    ASSERT_TRUE(RegisterNetworkPortMonitor());
    SetNetworkPorts("NX51");
    JobRun run(LinkedTable(), "NX51");
    ASSERT_TRUE(run.opened);
    ASSERT_TRUE(run.start());
    Session(run.spooler.handle)->job.data.lanSleep = 10;
    std::vector<u8> job = PageOfSize(1000);
    ASSERT_TRUE(run.write(job, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(DataWriteSizes(run), (std::vector<u32>{256, 256, 256, 232}));
    auto writes = run.lower.calls(run.name, PortOp::WritePort);
    ASSERT_GE(writes.size(), 4u);
    DWORD spread = writes.back().tick - writes[writes.size() - 4].tick;
    EXPECT_GE(spread, 20u);  // three pauses of 10 ms between the four pieces, loosely
}

TEST(Transmission, PortThatTakesNothingIsOfferedTheRestAgain) {
    JobRun run(LinkedTable(), "LPT5");
    ASSERT_TRUE(run.start());
    run.lower.withLock([&] { run.lower.port(run.name).refusedWrites = 3; });
    BuiltJob job = BuildSimpleJob(1);
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    auto writes = run.lower.calls(run.name, PortOp::WritePort);
    auto taken =
        std::find_if(writes.begin(), writes.end(), [](const PortCall& c) { return c.result > 3; });
    ASSERT_NE(taken, writes.end());
    ASSERT_GE(taken - writes.begin(), 3);
    for (auto refused = taken - 3; refused != taken; ++refused) {
        EXPECT_EQ(refused->result, 0u);
        EXPECT_EQ(refused->size, taken->size);  // the same bytes again, pass after pass
    }
}

TEST(Transmission, SplitHasNoWaitForTheEndOfPrinting) {
    JobRun run(LinkedTable(), "QXUSB52");
    run.printer().autoPageCycle = true;
    PageLayout layout;
    layout.rasterLines = 800;  // the 701st line ends a split
    layout.lineBytes = 4;
    BuiltJob job = BuildJob({layout});
    ASSERT_TRUE(run.start());
    // The printer prints the split part on its own, without printing ended.
    ASSERT_TRUE(run.write(job.stream, 100000));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    auto codes = run.notifications();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyWaiting), 2);  // split and last page
}

// The pause comes during page 1's status check; it takes effect between
// segments, so page 2 waits for the continue.
TEST(Transmission, PauseReplyHoldsTheDataUntilContinue) {
    JobRun run(LinkedTable(), "QXUSB53", "normal",
               "on 0x10103 reply 2 send once; on 0x10103 reply 1 after 800 once");
    BuiltJob job = BuildSimpleJob(2);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    DWORD resumed = 0;
    for (const auto& r : run.statmon.records())
        if (r.event == "reply" && r.code == 1) resumed = r.tick;
    ASSERT_NE(resumed, 0u);
    auto writes = run.lower.calls(run.name, PortOp::WritePort);
    std::vector<DWORD> pageWrites;
    for (const PortCall& c : writes)
        if (c.size > 3) pageWrites.push_back(c.tick);
    ASSERT_EQ(pageWrites.size(), 2u);
    EXPECT_LT(pageWrites[0], resumed);
    EXPECT_GE(pageWrites[1] + 50, resumed);
}

TEST(Transmission, PauseThenCancelStopsTheJob) {
    JobRun run(LinkedTable(), "QXUSB54", "normal",
               "on 0x10103 reply 2 send once; on 0x10103 reply 3 after 300 once");
    BuiltJob job = BuildSimpleJob(2);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);
    ASSERT_TRUE(run.end());
    // Page 1 went before the pause; page 2 never did.
    std::vector<u8> received = WithoutStatusRequests(run.received());
    ASSERT_GE(received.size(), job.pages[0].size());
    EXPECT_EQ(std::vector<u8>(received.begin(), received.begin() + job.pages[0].size()),
              job.pages[0]);
    EXPECT_EQ(CountOf(received, job.pages[1]), 0u);
}

// A segment held back by a port mutex time-out is written once: it comes again
// with the next call, and what does not fit the carry buffer is not taken.
TEST(Transmission, BytesHeldBackByTheMutexAreSentAndStoredOnce) {
    JobRun run(LinkedTable(), "QXCOM5");
    BuiltJob job = BuildSimpleJob(2, 150, 100);
    size_t firstPage = 92 + job.pages[0].size();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(
        run.write(std::vector<u8>(job.stream.begin(), job.stream.begin() + firstPage), 100000));
    PortSession* session = Session(run.spooler.handle);
    // Past the two port value requests (2 s each) and the 1 s wait of the write,
    // and on into the next call, whose full carry buffer waits once more.
    MutexHolder hold(session->job.portMutex, false, 6500);
    std::vector<u8> second(job.stream.begin() + firstPage, job.stream.end());
    u32 written = 0, written2 = 0;
    ASSERT_TRUE(
        LinkedTable()->WritePort(run.spooler.handle, second.data(), second.size(), &written));
    EXPECT_LT(written, second.size());
    EXPECT_EQ(session->job.data.carryCount, CARRY_BUFFER_SIZE);
    EXPECT_GT(session->job.data.storedAhead, 0u);
    // Nothing more fits; with the mutex still held the held-back segment waits again.
    ASSERT_TRUE(
        LinkedTable()->WritePort(run.spooler.handle, second.data() + written, 100, &written2));
    EXPECT_EQ(written2, 0u);
    EXPECT_FALSE(session->job.flags & PSF_STOPPED);
    hold.join();
    ASSERT_TRUE(run.write(std::vector<u8>(second.begin() + written, second.end()), 4096));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
}

DWORD WINAPI TakeAndAbandon(LPVOID mutex) {
    WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
    return 0;  // ends owning it: the mutex is abandoned
}

// A segment fails after part of it was written (the port mutex is abandoned
// between two passes): the page goes again from its segments after the reset,
// and no byte of it twice.
TEST(Transmission, FailureAfterAPartialPassSendsThePageOnce) {
    JobRun run(LinkedTable(), "LPT6", "normal", "on 0x2001a reply 1");
    BuiltJob job = BuildSimpleJob(1);
    ASSERT_TRUE(run.start());
    run.lower.setWriteLimit(run.name, 100);
    HANDLE mutex = Session(run.spooler.handle)->job.portMutex;
    bool abandoned = false;
    run.lower.beforeCall = [&](PortOp op) {
        // In a pass after the first 100 bytes of page data, under the port mutex.
        if (op != PortOp::WritePort || abandoned ||
            WithoutStatusRequests(run.lower.received(run.name)).size() < 110)
            return;
        abandoned = true;
        CloseHandle(CreateThread(nullptr, 0, TakeAndAbandon, mutex, 0, nullptr));
        Sleep(100);  // it waits for the mutex this pass holds
    };
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    run.lower.beforeCall = nullptr;
    // A part of the page, the reset, then the whole page once.
    std::vector<u8> received = WithoutStatusRequests(run.received());
    std::vector<u8> tail = ResetSequenceBytes() + job.pages[0];
    ASSERT_TRUE(abandoned);
    ASSERT_GT(received.size(), tail.size());
    size_t part = received.size() - tail.size();
    EXPECT_LT(part, job.pages[0].size());
    EXPECT_EQ(std::vector<u8>(received.begin(), received.begin() + part),
              std::vector<u8>(job.pages[0].begin(), job.pages[0].begin() + part));
    EXPECT_EQ(std::vector<u8>(received.begin() + part, received.end()), tail);
    auto codes = run.notifications();
    EXPECT_EQ(
        std::count(codes.begin(), codes.end(), StateNotifyCode(STATE_ERROR, CODE_COMM_FAILURE)), 1);
}

}  // namespace
