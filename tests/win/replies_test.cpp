// The application's replies through the connect window, the wait for them,
// and the reply check of the data path.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/process_state.h"
#include "core/statmon_interface.h"
#include "rig/link_session.h"
#include "rig/linked_monitor.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "statmon/reply_check.h"

namespace {

TEST(ConnectWindow, IsHiddenTitledAndOfItsClass) {
    LinkSession link;
    ASSERT_TRUE(link.connect());
    HWND window = static_cast<HWND>(link.s.job.link.connectWindow);
    char text[64] = {};
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ(text, CONNECT_WINDOW_CLASS);
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Label - test");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr),
              GetThreadId(link.s.job.link.connectThread));

    // WM_CLOSE ends the thread with the quit code 0.
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(link.s.job.link.connectThread, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(link.s.job.link.connectThread, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(IsWindow(window));
    link.s.job.link.connectWindow = nullptr;
}

TEST(ConnectWindow, PauseHoldsTheEventAndContinueResendsThePhase) {
    Receiver receiver;
    LinkSession link;
    ASSERT_TRUE(link.connect());
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.link.phase = ShownPhase::Printing;
    link.s.job.link.lastNotifyCode = NotifyPrinting;

    link.reply(0x20000);
    EXPECT_EQ(GetReplyState(link.s), REPLY_PAUSE);
    EXPECT_FALSE(link.eventSet());
    EXPECT_TRUE(ReceivedNotifications().empty());

    link.reply(0x10000);
    EXPECT_EQ(GetReplyState(link.s), REPLY_CONTINUE);
    EXPECT_TRUE(link.eventSet());
    // Straight to the window, past the repeat rule, without touching its record.
    EXPECT_EQ(receiver.codes(), (std::vector<u32>{NotifyPrinting}));
    EXPECT_EQ(link.s.job.link.lastNotifyCode, NotifyPrinting);
}

TEST(ConnectWindow, RepliesStoreTheHighHalfOfWParam) {
    struct Case {
        const char* what;
        WPARAM wParam;
        ShownPhase phase;
        u32 state;
        bool eventSet;
        std::vector<u32> resent;
    };
    const Case cases[] = {
        {"continue, no phase", 0x10000, ShownPhase::None, 1, true, {}},
        {"continue while printing", 0x10000, ShownPhase::Printing, 1, true, {NotifyPrinting}},
        {"continue while waiting", 0x10000, ShownPhase::Waiting, 1, true, {NotifyWaiting}},
        {"low half ignored", 0x1FFFF, ShownPhase::Printing, 1, true, {NotifyPrinting}},
        {"pause", 0x20001, ShownPhase::Printing, 2, false, {}},
        {"cancel", 0x30000, ShownPhase::Printing, 3, true, {}},
        {"other state ends the wait", 0x70000, ShownPhase::Waiting, 7, true, {}},
        {"zero", 0x0, ShownPhase::Waiting, 0, true, {}},
    };
    for (const Case& c : cases) {
        Receiver receiver;
        LinkSession link;
        ASSERT_TRUE(link.connect()) << c.what;
        link.s.job.link.monitorWindow = receiver.window;
        link.s.job.link.phase = c.phase;
        link.s.job.link.replyState = REPLY_AWAITED;
        link.reply(c.wParam);
        EXPECT_EQ(GetReplyState(link.s), c.state) << c.what;
        EXPECT_EQ(link.eventSet(), c.eventSet) << c.what;
        EXPECT_EQ(receiver.codes(), c.resent) << c.what;
    }
}

TEST(ConnectWindow, EachWindowAnswersForItsOwnJob) {
    LinkSession first, second;
    ASSERT_TRUE(first.connect());
    ASSERT_TRUE(second.connect());
    first.s.job.link.replyState = second.s.job.link.replyState = REPLY_AWAITED;

    first.reply(0x30000);
    EXPECT_EQ(GetReplyState(first.s), REPLY_CANCEL);
    EXPECT_TRUE(first.eventSet());
    EXPECT_EQ(GetReplyState(second.s), REPLY_AWAITED);
    EXPECT_FALSE(second.eventSet());

    second.reply(0x10000);
    EXPECT_EQ(GetReplyState(second.s), REPLY_CONTINUE);
    EXPECT_TRUE(second.eventSet());
    EXPECT_EQ(GetReplyState(first.s), REPLY_CANCEL);
}

TEST(WaitForReply, ReturnsTheReplyOrCancelWhenTheWindowIsGone) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.link.replyState = 7;
    SetEvent(link.s.job.link.replyEvent);
    u32 state = 0;
    EXPECT_TRUE(WaitForReply(link.s, state));
    EXPECT_EQ(state, 7u);

    ResetEvent(link.s.job.link.replyEvent);
    DestroyWindow(receiver.window);
    DWORD start = GetTickCount();
    EXPECT_TRUE(WaitForReply(link.s, state));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(state, REPLY_CANCEL);
    EXPECT_GE(elapsed, 700u);
    EXPECT_LT(elapsed, 5000u);
}

TEST(CheckReply, TurnsTheReplyIntoPauseAndCancel) {
    struct Case {
        u32 reply;
        u32 flagsBefore;
        bool result;
        u32 flagsAfter;
        i16 stateClass;
        i32 resetNeeded;
    };
    const u32 keep = PSF_STARTED | PSF_SEND_MEDIA;
    const Case cases[] = {
        {REPLY_CONTINUE, keep | PSF_PAUSED, true, keep, STATE_NONE, 0},
        {REPLY_CONTINUE, keep, true, keep, STATE_NONE, 0},
        {REPLY_PAUSE, keep, true, keep | PSF_PAUSED, STATE_NONE, 0},
        {REPLY_PAUSE, keep | PSF_PAUSED, true, keep | PSF_PAUSED, STATE_NONE, 0},
        {REPLY_CANCEL, keep | PSF_PAUSED, false, keep | PSF_PAUSED | PSF_RESET_ON_STOP, STATE_FATAL,
         1},
        {REPLY_AWAITED, keep | PSF_PAUSED, true, keep | PSF_PAUSED, STATE_NONE, 0},
        {7, keep, true, keep, STATE_NONE, 0},
        {0, keep | PSF_PAUSED, true, keep | PSF_PAUSED, STATE_NONE, 0},
    };
    for (const Case& c : cases) {
        LinkedTable();
        PortSession session{};
        session.job.link.replyState = c.reply;
        session.job.flags = c.flagsBefore;
        EXPECT_EQ(CheckReply(session), c.result) << c.reply;
        EXPECT_EQ(session.job.flags, c.flagsAfter) << c.reply;
        EXPECT_EQ(session.stateClass, c.stateClass) << c.reply;
        EXPECT_EQ(session.stateCode, 0) << c.reply;
        EXPECT_EQ(session.job.resetNeeded, c.resetNeeded) << c.reply;
    }
}

}  // namespace
