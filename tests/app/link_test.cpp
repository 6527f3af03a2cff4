// QXSMON.EXE driven by the test in the monitor's place: notifications and
// blocks the monitor never sends, connect windows that are not there, two
// instances at once. Each is shown or ignored, never a crash.
#include <gtest/gtest.h>

#include "app/app_rig.h"
#include "qxsmon/resource.h"
#include "core/statmon_interface.h"

namespace {

struct Linked {
    MonitorLink link;
    explicit Linked(const char* document) {
        EXPECT_TRUE(link.launch());
        link.startJob(document, link.connectWindow);
    }
};

// Codes it does not know: ignored, unless they are states; a state shows its
// code in hex, and its class says whether an answer is awaited.
TEST(AppLink, IgnoresUnknownCodesAndShowsUnknownStates) {
    Linked app("Unknown Doc");
    for (u32 code : {0x10199u, 0x50099u, 0x40001u, 0x70000u, 0xFFFFFFFFu, 0u})
        app.link.notify(code);
    EXPECT_EQ(app.link.text(IDC_STATE), "Printing");
    EXPECT_TRUE(ItemEnabled(app.link.appWindow, IDC_PAUSE));

    app.link.notify(0x2002A);
    EXPECT_EQ(app.link.text(IDC_STATE), "Printer error 0x0002002A");
    Click(app.link.appWindow, IDC_CONTINUE);
    ASSERT_TRUE(app.link.waitForReplies(1));
    EXPECT_EQ(app.link.replies[0], REPLY_CONTINUE);

    app.link.notify(0x3002A);
    EXPECT_EQ(app.link.text(IDC_STATE), "Printer error 0x0003002A");
    EXPECT_FALSE(ItemEnabled(app.link.appWindow, IDC_CONTINUE));
    EXPECT_EQ(app.link.text(IDC_CANCEL_JOB), "C&lose");
    Click(app.link.appWindow, IDC_CANCEL_JOB);
    EXPECT_TRUE(ProcessEnded(app.link.process.hProcess, 5000));
    EXPECT_EQ(app.link.replies.size(), 1u);  // nothing is answered to a stopped job
}

TEST(AppLink, SkipsBlocksThatCannotBeRead) {
    Linked app("Block Doc");
    std::vector<u8> page2 = {0, 0, 0, 0, 2, 0, 40, 0};
    app.link.notifyBlock(NotifyProgress, page2);
    ASSERT_EQ(app.link.text(IDC_PAGE), "Printing page 2");
    app.link.notify(NotifyProgress, 0x12345678);  // no such block
    app.link.notify(NotifyMediaStatus, 0);
    app.link.notifyBlock(NotifyProgress, {0, 0, 0, 0, 3, 0});  // shorter than a progress block
    std::vector<u8> wild = {0, 0, 0, 0, 4, 0, 0xFF, 0xFF};     // percent past 100
    app.link.notifyBlock(NotifyProgress, wild);
    EXPECT_EQ(app.link.text(IDC_PAGE), "Printing page 4");
    EXPECT_EQ(app.link.text(IDC_MEDIA), "");
    EXPECT_FALSE(ProcessEnded(app.link.process.hProcess));
}

TEST(AppLink, CutsNamesThatFillTheirField) {
    MonitorLink link;
    ASSERT_TRUE(link.launch());
    std::string longName(200, 'P');
    u32 handle = static_cast<u32>(reinterpret_cast<uintptr_t>(link.connectWindow));
    link.notifyBlock(NotifyJobStart, JobStartBytes(longName, longName, handle));
    EXPECT_EQ(link.text(IDC_PRINTER), std::string(128, 'P'));
    EXPECT_EQ(link.text(IDC_DOCUMENT), std::string(128, 'P'));
}

// Without a connect window to answer, only closing the window (a cancel to
// the monitor) is offered.
struct NoConnectCase {
    const char* name;
    bool jobStart;     // a job start block at all
    bool otherWindow;  // it names a live window of another class
};

class AppWithoutConnectWindow : public ::testing::TestWithParam<NoConnectCase> {};

TEST_P(AppWithoutConnectWindow, OffersOnlyToClose) {
    MonitorLink link;
    ASSERT_TRUE(link.launch());
    HWND other =
        CreateWindowExA(0, "STATIC", "other", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (GetParam().jobStart) {
        HWND named = GetParam().otherWindow ? other : link.connectWindow;
        if (!GetParam().otherWindow) DestroyWindow(link.connectWindow);
        u32 handle = static_cast<u32>(reinterpret_cast<uintptr_t>(named));
        link.notifyBlock(NotifyJobStart, JobStartBytes("QX Link Printer", "Gone Doc", handle));
    }
    link.notify(NotifyPrinting);
    EXPECT_FALSE(ItemEnabled(link.appWindow, IDC_PAUSE));
    EXPECT_FALSE(ItemEnabled(link.appWindow, IDC_CANCEL_JOB));
    link.notify(0x20014);
    EXPECT_EQ(link.text(IDC_STATE), "Cover open");
    EXPECT_FALSE(ItemEnabled(link.appWindow, IDC_CONTINUE));
    EXPECT_TRUE(ItemEnabled(link.appWindow, IDC_CANCEL_JOB));
    Click(link.appWindow, IDC_CANCEL_JOB);
    EXPECT_TRUE(ProcessEnded(link.process.hProcess, 5000));
    DestroyWindow(other);
}

INSTANTIATE_TEST_SUITE_P(Cases, AppWithoutConnectWindow,
                         ::testing::Values(NoConnectCase{"NoJobStartBlock", false, false},
                                           NoConnectCase{"WindowGoneBeforeTheJob", true, false},
                                           NoConnectCase{"WindowOfAnotherClass", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A monitor that dies between its first word and the job start leaves nobody
// to end the application: it ends itself once the launch's window has passed.
TEST(AppLink, ClosesWhenNoJobStartComes) {
    MonitorLink link;
    ASSERT_TRUE(link.launch());
    link.notify(NotifyConnect);
    EXPECT_TRUE(ProcessEnded(link.process.hProcess, 20000));
}

TEST(AppLink, ClosesWhenTheConnectWindowGoes) {
    Linked app("Vanishing Doc");
    DestroyWindow(app.link.connectWindow);
    app.link.connectWindow = nullptr;
    EXPECT_TRUE(ProcessEnded(app.link.process.hProcess, 5000));
}

TEST(AppLink, TwoInstancesAnswerTheirOwnJobs) {
    Linked first("First Doc");
    Linked second("Second Doc");
    EXPECT_NE(first.link.appWindow, second.link.appWindow);
    first.link.notify(0x20014);
    second.link.notify(0x20001);
    EXPECT_EQ(second.link.text(IDC_STATE), "No media");
    Click(first.link.appWindow, IDC_CONTINUE);
    ASSERT_TRUE(first.link.waitForReplies(1));
    EXPECT_TRUE(second.link.replies.empty());
    EXPECT_EQ(second.link.text(IDC_STATE), "No media");
    first.link.notify(NotifyJobEnd);
    EXPECT_TRUE(ProcessEnded(first.link.process.hProcess, 5000));
    EXPECT_FALSE(ProcessEnded(second.link.process.hProcess));
    second.link.notify(NotifyJobEnd);
    EXPECT_TRUE(ProcessEnded(second.link.process.hProcess, 5000));
}

}  // namespace
