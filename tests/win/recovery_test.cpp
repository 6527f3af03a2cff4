// Errors during a job: the state notification, the user's answer, the reset
// and the page sent again; cancels, stops and a printer that is gone.
#include <gtest/gtest.h>

#include <algorithm>

#include "rig/job_run.h"
#include "core/statmon_interface.h"
#include "rig/linked_monitor.h"

namespace {

bool HasStateNotification(const std::vector<u32>& codes) {
    return std::any_of(codes.begin(), codes.end(), [](u32 c) {
        u32 cls = c >> 16;
        return (cls == 2 || cls == 3) && c != NotifySystemError;
    });
}

constexpr u8 COVER_OPEN = 0x10;  // errorInfo2 bit 4: state (2, 20)

TEST(Recovery, CoverOpenOnPage2IsReportedAndThePageSentAgain) {
    JobRun run(LinkedTable(), "QXUSB41", "normal", "on 0x20014 reply 1");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
    BuiltJob job = BuildSimpleJob(3);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());

    EXPECT_EQ(WithoutStatusRequests(run.received()),
              job.pages[0] + ResetSequenceBytes() + job.pages[1] + job.pages[2]);
    auto records = Notifications(run.statmon.records());
    auto at = std::find_if(records.begin(), records.end(),
                           [](const StatmonRecord& r) { return r.code == 0x20014; });
    ASSERT_NE(at, records.end());
    // Then the progress starts again from zero and printing goes on (the
    // connect window may re-send the printing phase first, on the reply).
    auto zeros = std::find_if(at, records.end(), [](const StatmonRecord& r) {
        return r.code == NotifyProgress && r.block.size() >= 8 &&
               std::all_of(r.block.begin(), r.block.begin() + 8, [](u8 b) { return b == 0; });
    });
    ASSERT_NE(zeros, records.end());
    ASSERT_NE(zeros + 1, records.end());
    EXPECT_EQ(zeros[1].code, NotifyPrinting);
    EXPECT_EQ(Count(run.notifications(), NotifyJobEnd), 1u);
}

TEST(Recovery, WithResetOnStopThePageIsSentAgainFromItsCopy) {
    JobRun run(LinkedTable(), "QXUSB42", "normal", "on 0x20014 reply 1");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
    std::vector<PageLayout> pages(3);
    for (int i = 0; i < 3; ++i) {
        pages[i].pageNumber = static_cast<u16>(i + 1);
        pages[i].checkFlags = 0x0404;  // reset the printer when the job stops
    }
    BuiltJob job = BuildJob(pages);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    ASSERT_TRUE(run.end());
    // The copy was made at page 2's end, before its status check failed.
    EXPECT_EQ(WithoutStatusRequests(run.received()),
              job.pages[0] + ResetSequenceBytes() + job.pages[1] + job.pages[2]);
}

TEST(Recovery, PageCopyOfAPrintedPageIsNeverSentAgain) {
    JobRun run(LinkedTable(), "QXUSB47", "normal", "on 0x20014 reply 1");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
    std::vector<PageLayout> pages(2);
    for (int i = 0; i < 2; ++i) {
        pages[i].pageNumber = static_cast<u16>(i + 1);
        pages[i].checkFlags = 0x0404;
    }
    BuiltJob job = BuildJob(pages);
    // Page 2 arrives in two writes, so its first segment is not its page end:
    // page 1's copy was made, and page 1 has printed, when page 2's status
    // check fails.
    size_t cut = 92 + job.pages[0].size() + 92 + 100;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(std::vector<u8>(job.stream.begin(), job.stream.begin() + cut), 100000));
    ASSERT_TRUE(run.write(std::vector<u8>(job.stream.begin() + cut, job.stream.end()), 100000));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()),
              job.pages[0] + ResetSequenceBytes() + job.pages[1]);
}

TEST(Recovery, CancelReplyStopsTheJobAndEveryLaterWriteResets) {
    JobRun run(LinkedTable(), "QXUSB43", "normal", "on 0x20014 reply 3");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
    BuiltJob job = BuildSimpleJob(3);
    ASSERT_TRUE(run.start());
    u32 written = 0;
    ASSERT_TRUE(LinkedTable()->WritePort(run.spooler.handle, job.stream.data(), job.stream.size(),
                                         &written));
    EXPECT_EQ(written, job.stream.size());
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);
    EXPECT_TRUE(session->job.flags & PSF_RESET_ON_STOP);
    run.lower.clearCalls(run.name);
    size_t before = run.received().size();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(LinkedTable()->WritePort(run.spooler.handle, job.stream.data(), 100, &written));
        EXPECT_EQ(written, 100u);
    }
    std::vector<u8> received = run.received();
    std::vector<u8> after(received.begin() + before, received.end());
    EXPECT_EQ(after, ResetSequenceBytes() + ResetSequenceBytes() + ResetSequenceBytes());
    ASSERT_TRUE(run.end());
    EXPECT_EQ(run.received().size(), before + after.size());  // nothing more at the job end
    EXPECT_EQ(Count(run.notifications(), NotifyJobEnd), 0u);
}

TEST(Recovery, CancelBetweenPagesStopsWithoutAStateNotification) {
    // The application cancels as soon as the job prints: the reply check finds
    // (3, 0), which stops the job without telling anyone.
    JobRun run(LinkedTable(), "QXUSB44", "normal", "on 0x10101 reply 3");
    BuiltJob job = BuildSimpleJob(2);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);
    EXPECT_EQ(session->stateClass, STATE_FATAL);
    EXPECT_EQ(session->stateCode, 0);
    ASSERT_TRUE(run.end());
    EXPECT_FALSE(HasStateNotification(run.notifications()));
    EXPECT_LT(WithoutStatusRequests(run.received()).size(), job.portBytes.size());
}

TEST(Recovery, PrinterGoneEndsTheJob) {
    JobRun run(LinkedTable(), "QXUSB45");
    run.printer().gonePage = 2;
    BuiltJob job = BuildSimpleJob(3);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.pages[0]);
    std::vector<u32> codes = run.notifications();
    EXPECT_EQ(Count(codes, NotifyJobEnd), 1u);
    EXPECT_FALSE(HasStateNotification(codes));
}

TEST(Recovery, PortGoneAfterAWriteEndsTheJob) {
    JobRun run(LinkedTable(), "QXUSB46");
    // The status request and the first data write both leave the port's "gone" error.
    run.lower.inject(PortOp::WritePort, {false, 0x20000002, 2});
    BuiltJob job = BuildSimpleJob(2);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(job.stream, 4096));
    PortSession* session = Session(run.spooler.handle);
    EXPECT_TRUE(session->job.flags & PSF_STOPPED);
    EXPECT_EQ(session->stateClass, STATE_GONE);
    ASSERT_TRUE(run.end());
    EXPECT_EQ(Count(run.notifications(), NotifyJobEnd), 1u);
}

}  // namespace

namespace {

// A stored segment can end in bytes no command knows (they were stepped over
// because a block followed them). Sent again on their own they are still sent.
TEST(Recovery, ResentSegmentEndingInUnknownBytesIsSentWhole) {
    JobRun run(LinkedTable(), "QXUSB48", "normal", "on 0x20014 reply 1");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = COVER_OPEN;
    BuiltJob one = BuildSimpleJob(1);  // page 1, ended below with FF instead of SUB
    PageLayout layout;
    layout.pageNumber = 2;
    std::vector<u8> block = JobInfoBytes(layout, 2, 100);
    std::vector<u8> firstPart = {0x1B, 0x69, 0x61, 0x01, 0x47, 0x02, 0x00, 0x81, 0x82, 0x01, 0x02};
    std::vector<u8> secondPart = {0x47, 0x02, 0x00, 0x83, 0x84, 0x1A};
    std::vector<u8> page1 = one.pages[0];
    page1.back() = 0x0C;
    std::vector<u8> stream = JobInfoBytes(PageLayout{}, 2, 100) +
                             std::vector<u8>(one.stream.begin() + 92, one.stream.end() - 1) +
                             Bytes{0x0C} + block + firstPart + block + secondPart;
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.write(stream, 100000));
    ASSERT_TRUE(run.end());
    EXPECT_EQ(WithoutStatusRequests(run.received()),
              page1 + ResetSequenceBytes() + firstPart + secondPart);
}

}  // namespace
