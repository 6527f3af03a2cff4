// Jobs through the real DLL with QXSMON.EXE, the product, answering: what a
// person sees in its window, the answers it gives, and the bytes at the port.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "app/app_rig.h"
#include "core/port_session.h"
#include "qxsmon/resource.h"
#include "rig/network_monitor.h"
#include "core/statmon_interface.h"

namespace {

MonitorTable* DllTable() {
    static LoadedMonitor monitor;
    static bool loaded =
        LoadMonitorDll((ProgramDirectory() + "..\\bin\\qxlmon.dll").c_str(), monitor);
    EXPECT_TRUE(loaded);
    return &monitor.table;
}

// The port's bytes without status requests and printer resets: what was printed.
std::vector<u8> Printed(const std::vector<u8>& received) {
    std::vector<u8> bytes = WithoutStatusRequests(received);
    std::vector<u8> reset = ResetSequenceBytes();
    for (auto at = std::search(bytes.begin(), bytes.end(), reset.begin(), reset.end());
         at != bytes.end();
         at = std::search(bytes.begin(), bytes.end(), reset.begin(), reset.end()))
        bytes.erase(at, at + static_cast<long>(reset.size()));
    return bytes;
}

u32 ReplyState(JobRun& run) {
    return static_cast<volatile u32&>(
        static_cast<PortSession*>(run.spooler.handle)->job.link.replyState);
}

TEST(AppJob, ShowsProgressAndExitsAtTheJobEnd) {
    DriverSettings driver("QX App Progress");
    JobRun run(DllTable(), "LPT91");
    BuiltJob job = BuildSimpleJob(3);
    JobThread thread(run, driver.printer, "Progress Doc", job.stream, job.pageStreamEnds[1]);
    ASSERT_TRUE(thread.waitHeld());
    HWND window = WaitForAppWindow("Progress Doc");
    ASSERT_NE(window, nullptr);
    HANDLE process = OwnerProcess(window);
    EXPECT_EQ(WindowText(window), "QX App Progress - Progress Doc");
    EXPECT_EQ(ItemText(window, IDC_PRINTER), "QX App Progress");
    EXPECT_EQ(ItemText(window, IDC_MEDIA), "62 mm continuous");
    EXPECT_EQ(ItemText(window, IDC_PAGE), "Printing page 2 of 3");
    EXPECT_EQ(SendDlgItemMessageA(window, IDC_PROGRESS, PBM_GETPOS, 0, 0), 66);
    EXPECT_EQ(ItemText(window, IDC_STATE), "Printing");
    EXPECT_FALSE(ItemEnabled(window, IDC_CONTINUE));
    EXPECT_TRUE(ItemEnabled(window, IDC_PAUSE));
    EXPECT_TRUE(ItemEnabled(window, IDC_CANCEL_JOB));

    thread.join();
    EXPECT_TRUE(thread.ended);
    EXPECT_TRUE(ProcessEnded(process));  // EndDocPort waited for it
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
    CloseHandle(process);
}

// A cover open before page 2, answered in the window.
struct AnswerCase {
    const char* name;
    int button;  // 0: the window's close box
    bool resumes;
};

class AppAnswer : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AppAnswer, CoverOpenWaitsForTheUsersAnswer) {
    DriverSettings driver("QX App Answer");
    JobRun run(DllTable(), "LPT92");
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo2 = 0x10;  // the cover open
    BuiltJob job = BuildSimpleJob(3);
    JobThread thread(run, driver.printer, "Answer Doc", job.stream);
    HWND window = WaitForAppWindow("Answer Doc");
    ASSERT_NE(window, nullptr);
    HANDLE process = OwnerProcess(window);
    ASSERT_TRUE(WaitUntil([&] { return ItemText(window, IDC_STATE) == "Cover open"; }));
    EXPECT_EQ(ItemText(window, IDC_ADVICE), "Close the cover, then press Continue.");
    EXPECT_TRUE(ItemEnabled(window, IDC_CONTINUE));
    EXPECT_FALSE(ItemEnabled(window, IDC_PAUSE));
    EXPECT_TRUE(ItemEnabled(window, IDC_CANCEL_JOB));
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);

    if (GetParam().button != 0) {
        Click(window, GetParam().button);
    } else {
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    thread.join();
    EXPECT_TRUE(ProcessEnded(process));
    std::vector<u8> received = WithoutStatusRequests(run.received());
    if (GetParam().resumes) {
        EXPECT_EQ(received, job.pages[0] + ResetSequenceBytes() + job.pages[1] + job.pages[2]);
        EXPECT_EQ(driver.traced("reply 1 by user"), 1u);
    } else {
        // The writes after the cancel are dropped, each with a reset of the printer.
        EXPECT_EQ(Printed(received), job.pages[0]);
        EXPECT_TRUE(EndsWith(received, ResetSequenceBytes()));
        EXPECT_EQ(driver.traced("reply 3 by user"), 1u);
    }
    CloseHandle(process);
}

INSTANTIATE_TEST_SUITE_P(Buttons, AppAnswer,
                         ::testing::Values(AnswerCase{"Continue", IDC_CONTINUE, true},
                                           AnswerCase{"Cancel", IDC_CANCEL_JOB, false},
                                           AnswerCase{"CloseBox", 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The monitor takes a pause at its next reply check, after the segment in
// flight: from there the job waits for Resume.
TEST(AppJob, PauseHoldsTheJobUntilResume) {
    DriverSettings driver("QX App Pause");
    JobRun run(DllTable(), "LPT93");
    BuiltJob job = BuildSimpleJob(2, 60);  // page 2 spans several of the spooler's writes
    JobThread thread(run, driver.printer, "Pause Doc", job.stream, job.pageStreamEnds[0]);
    ASSERT_TRUE(thread.waitHeld());
    HWND window = WaitForAppWindow("Pause Doc");
    ASSERT_NE(window, nullptr);
    Click(window, IDC_PAUSE);
    EXPECT_EQ(ItemText(window, IDC_STATE), "Paused");
    EXPECT_EQ(ItemText(window, IDC_PAUSE), "&Resume");
    EXPECT_FALSE(ItemEnabled(window, IDC_CONTINUE));
    ASSERT_TRUE(WaitUntil([&] { return ReplyState(run) == REPLY_PAUSE; }));

    thread.release();
    Sleep(300);  // ample for the whole job on this port, were it not held
    std::vector<u8> whilePaused = WithoutStatusRequests(run.received());
    EXPECT_LT(whilePaused.size(), job.portBytes.size());
    EXPECT_TRUE(std::equal(whilePaused.begin(), whilePaused.end(), job.portBytes.begin()));
    Click(window, IDC_PAUSE);
    EXPECT_EQ(ItemText(window, IDC_PAUSE), "&Pause");
    thread.join();
    EXPECT_EQ(WithoutStatusRequests(run.received()), job.portBytes);
}

// Answers where nobody clicks: the "Headless" value forces the policy.
struct PolicyCase {
    const char* name;
    u8 errorInfo1;
    u32 clearingReplies;  // the error clears after this many status replies; 0: only page 2's
    DWORD retries;
    size_t continues, cancels;
    size_t pagesPrinted;
    size_t nameLength = 0;  // a printer name this long, longer than the job start block holds
};

class AppPolicy : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(AppPolicy, AnswersWithoutAClick) {
    const PolicyCase& c = GetParam();
    std::string name = "QX App Policy";
    if (c.nameLength != 0) name.resize(c.nameLength, 'x');
    DriverSettings driver(name);
    driver.set("Headless", 1);
    driver.set("HeadlessDelay", 20);
    driver.set("HeadlessRetries", c.retries);
    JobRun run(DllTable(), "LPT94");
    if (c.clearingReplies != 0) {
        run.printer().clearingErrorInfo1 = c.errorInfo1;
        run.printer().clearingReplies = c.clearingReplies;
    } else {
        run.printer().errorPage = 2;
        run.printer().pageErrorInfo1 = c.errorInfo1;
    }
    BuiltJob job = BuildSimpleJob(2);
    JobThread thread(run, driver.printer, "Policy Doc", job.stream);
    thread.join();
    EXPECT_EQ(driver.traced("reply 1 by policy"), c.continues);
    EXPECT_EQ(driver.traced("reply 3 by policy"), c.cancels);
    EXPECT_EQ(driver.traced("by user"), 0u);
    EXPECT_EQ(driver.traced("exit"), 1u);
    EXPECT_EQ(driver.traced("Policy Doc"), 0u);  // never the document's name
    std::vector<u8> printed;
    for (size_t page = 0; page < c.pagesPrinted; ++page)
        printed.insert(printed.end(), job.pages[page].begin(), job.pages[page].end());
    EXPECT_EQ(Printed(run.received()), printed);
}

INSTANTIATE_TEST_SUITE_P(
    States, AppPolicy,
    ::testing::Values(PolicyCase{"CoverClosedAfterTwoChecks", 0x02, 2, 60, 2, 0, 2},
                      PolicyCase{"CoverLeftOpenPastTheRetries", 0x02, 3, 1, 1, 1, 0},
                      PolicyCase{"FatalState", 0x04, 0, 60, 0, 1, 1},
                      PolicyCase{"LongPrinterNameFindsItsSettings", 0x02, 2, 60, 2, 0, 2, 150}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
