// Notifications to the status monitor application, their blocks, the replies
// through the connect window, and the reply check of the data path.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "monitor/process_state.h"
#include "rig/statmon_log.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "stream/transmit.h"
#include "win/linked_monitor.h"

namespace {

// What a test window in place of the application's received.
struct Received {
    u32 code;
    u32 lParam;
    bool blockOpened;
    std::vector<u8> block;
};

std::vector<Received> g_received;

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_STATMON) return DefWindowProcA(window, message, wParam, lParam);
    Received got{static_cast<u32>(wParam), static_cast<u32>(lParam), false, {}};
    // The block is read while the message is handled, as the application must.
    u32 code = static_cast<u32>(wParam);
    bool withBlock = code == NotifyJobStart || code == NotifyMediaSettings ||
                     code == NotifyProgress || code == NotifyMediaStatus;
    if (withBlock) got.blockOpened = ReadSharedBlock(static_cast<u32>(lParam), got.block);
    g_received.push_back(got);
    return 0;
}

// A top-level window of the test thread standing in for the application's:
// SendMessage from this thread reaches it at once, and sends from the connect
// thread reach it while this thread waits in a SendMessage of its own.
struct Receiver {
    HWND window = nullptr;
    Receiver() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ReceiverProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "qxl test receiver";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "qxl test receiver", "receiver", WS_OVERLAPPEDWINDOW, 0, 0,
                                 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        g_received.clear();
    }
    ~Receiver() { DestroyWindow(window); }
    std::vector<u32> codes() const {
        std::vector<u32> out;
        for (const Received& r : g_received) out.push_back(r.code);
        return out;
    }
};

// A job's record as the link needs it, without the port and data path.
struct LinkSession {
    PortSession s{};
    LinkSession() {
        LinkedTable();  // the monitor's lock exists once the monitor is initialised
        s.replyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        s.replyState = REPLY_CONTINUE;
        s.ownerThreadId = GetCurrentThreadId();
        s.windowTitle = DuplicateText("Label - test");
    }
    ~LinkSession() {
        if (s.connectWindow != nullptr) PostMessageA(static_cast<HWND>(s.connectWindow), WM_CLOSE, 0, 0);
        if (s.connectThread != nullptr) {
            WaitForSingleObject(s.connectThread, 10000);
            CloseHandle(s.connectThread);
        }
        CloseHandle(s.replyEvent);
        FreeText(s.windowTitle);
        FreeText(s.printerName);
        FreeText(s.documentName);
    }
    // Runs the connect thread and waits for its window, as the launch does.
    bool connect() {
        s.connectThread = CreateThread(nullptr, 0, ConnectThreadMain, &s, 0, nullptr);
        if (s.connectThread == nullptr) return false;
        if (WaitForSingleObject(s.replyEvent, 10000) != WAIT_OBJECT_0) return false;
        ResetEvent(s.replyEvent);
        return s.connectWindow != nullptr;
    }
    bool eventSet() const { return WaitForSingleObject(s.replyEvent, 0) == WAIT_OBJECT_0; }
    // A reply as the application makes it; returns when the connect thread has
    // handled it. The test thread, owner of the receiver, looks at its queue
    // first as the application's would: a thread that has not for seconds
    // counts as hung to the connect thread's bounded re-send.
    void reply(WPARAM wParam) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        SendMessageA(static_cast<HWND>(s.connectWindow), WM_STATMON, wParam, 0);
    }
};

// Sections are whole pages under Wine, so a block may read longer than it was
// made: then its own bytes come first and the rest is zero.
void ExpectBlock(const std::vector<u8>& got, const std::vector<u8>& expected, const char* what) {
    const size_t page = 4096;
    if (got.size() % page != 0) {
        EXPECT_EQ(got, expected) << what;
        return;
    }
    ASSERT_GE(got.size(), expected.size()) << what;
    EXPECT_EQ(std::vector<u8>(got.begin(), got.begin() + expected.size()), expected) << what;
    EXPECT_EQ(std::count(got.begin() + expected.size(), got.end(), 0),
              static_cast<long>(got.size() - expected.size())) << what;
}

std::string BlockName(u32 number) {
    char name[16];
    FormatBlockName(number, name);
    return name;
}

TEST(SendNotify, RepeatRuleDropsOnlyRepeatedStateAndPhaseCodes) {
    const u32 error15 = StateNotifyCode(STATE_ERROR, 15);
    struct Case {
        const char* what;
        std::vector<u32> codes;
        std::vector<u32> delivered;
    };
    const Case cases[] = {
        {"same error twice", {error15, error15}, {error15}},
        {"error, printing, error", {error15, NotifyPrinting, error15}, {error15, NotifyPrinting, error15}},
        {"phase twice", {NotifyWaiting, NotifyWaiting}, {NotifyWaiting}},
        {"fatal twice", {0x30005, 0x30005}, {0x30005}},
        {"job end is never a repeat", {NotifyJobEnd, NotifyJobEnd}, {NotifyJobEnd, NotifyJobEnd}},
        {"job end does not break a repeat", {error15, NotifyJobEnd, error15}, {error15, NotifyJobEnd}},
        {"different codes of one class", {error15, 0x20010}, {error15, 0x20010}},
    };
    for (const Case& c : cases) {
        Receiver receiver;
        LinkSession link;
        link.s.monitorWindow = receiver.window;
        for (u32 code : c.codes) {
            link.s.replyState = REPLY_CONTINUE;
            SetEvent(link.s.replyEvent);
            EXPECT_TRUE(SendNotify(link.s, code)) << c.what;
            u32 stateClass = code >> 16;
            bool awaited = stateClass == 2 || stateClass == 3;
            // Even a dropped repeat marks the reply as awaited.
            EXPECT_EQ(GetReplyState(link.s), awaited ? REPLY_AWAITED : REPLY_CONTINUE) << c.what;
        }
        EXPECT_EQ(receiver.codes(), c.delivered) << c.what;
        for (const Received& r : g_received) EXPECT_EQ(r.lParam, 0u) << c.what;
    }
}

TEST(SendNotify, BlockNotificationsAreNeverDroppedAsRepeats) {
    Receiver receiver;
    LinkSession link;
    link.s.monitorWindow = receiver.window;
    link.s.jobInfo.pageBytes = 1000;
    link.s.jobInfo.pageNumber = 1;
    link.s.lastPercent = 100;
    StatusPacket packet{};
    EXPECT_TRUE(SendProgress(link.s, SEG_PAGE_END));
    EXPECT_TRUE(SendProgress(link.s, SEG_PAGE_END));
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    EXPECT_EQ(receiver.codes(), (std::vector<u32>{NotifyProgress, NotifyProgress,
                                                  NotifyMediaStatus, NotifyMediaStatus}));
    EXPECT_EQ(link.s.lastNotifyCode, 0u);
}

TEST(SendNotify, SendResetsTheReplyEventFirst) {
    Receiver receiver;
    LinkSession link;
    link.s.monitorWindow = receiver.window;
    SetEvent(link.s.replyEvent);
    EXPECT_TRUE(SendNotify(link.s, NotifyPrinting));
    EXPECT_FALSE(link.eventSet());
    // A dropped repeat leaves the event alone.
    SetEvent(link.s.replyEvent);
    EXPECT_TRUE(SendNotify(link.s, NotifyPrinting));
    EXPECT_TRUE(link.eventSet());
}

TEST(SendNotify, BlocksAreNamedByThreadAndCounterAndLiveOnlyThroughTheMessage) {
    Receiver receiver;
    LinkSession link;
    link.s.monitorWindow = receiver.window;
    link.s.ownerThreadId = 0x104;
    // A fresh counter, as if no block had been made since the library was
    // loaded; put back afterwards so that later names stay new.
    LONG saved = g_process.blockCounter;
    g_process.blockCounter = 0;
    StatusPacket packet{};
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(BlockName(g_received[0].lParam), "00000105.mmf");
    EXPECT_EQ(BlockName(g_received[1].lParam), "00000106.mmf");
    for (const Received& r : g_received) {
        EXPECT_TRUE(r.blockOpened);
        std::vector<u8> after;
        EXPECT_FALSE(ReadSharedBlock(r.lParam, after)) << "block outlived its message";
    }

    // The sum wraps as an unsigned 32-bit value.
    link.s.ownerThreadId = 0xFFFFFFF0;
    g_process.blockCounter = 0x20;
    g_received.clear();
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    g_process.blockCounter = saved > 0x21 ? saved : 0x21;
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(BlockName(g_received[0].lParam), "00000011.mmf");
    EXPECT_TRUE(g_received[0].blockOpened);
}

TEST(SendNotify, BlocksHaveTheirExactSizeAndLayout) {
    Receiver receiver;
    LinkSession link;
    link.s.monitorWindow = receiver.window;
    link.s.connectWindow = reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(0x00012345));
    link.s.jobId = 0x11223344;
    std::string printer(200, 'P');
    printer[126] = 'x';
    printer[127] = 'y';
    link.s.printerName = DuplicateText(printer.c_str());
    link.s.documentName = DuplicateText("doc.lbl");

    JobInfoBlock& info = link.s.jobInfo;
    info.mediaSetting1 = 0xA1;
    info.mediaSetting2 = 0xA2;
    info.mediaSetting3 = 0xA3;
    info.mediaType = 0x0B;
    info.mediaWidth = 0x3E;
    info.mediaExtra = 0xEE;
    info.mediaSetting4 = 0xA4;
    info.pageTotalShown = 0x0203;
    std::memset(info.caption, 'C', sizeof info.caption);  // no zero: cut at 63
    info.pageBytes = 1000;
    info.partCount = 2;
    info.partIndex = 2;
    info.pageNumber = 7;
    link.s.pageBytesSent = 500;
    link.s.lastPercent = -1;

    StatusPacket packet{};
    packet.mediaWidth = 62;
    packet.mediaType = 0x0A;
    packet.mediaExtra = 0x55;
    packet.reserved12[0] = 0x99;  // neighbours are not copied

    ASSERT_TRUE(SendJobStart(link.s));
    ASSERT_TRUE(SendMediaSettings(link.s));
    ASSERT_TRUE(SendProgress(link.s, SEG_PLAIN));
    ASSERT_TRUE(SendMediaStatus(link.s, packet));
    ASSERT_EQ(receiver.codes(), (std::vector<u32>{NotifyJobStart, NotifyMediaSettings,
                                                  NotifyProgress, NotifyMediaStatus}));
    for (const Received& r : g_received) ASSERT_TRUE(r.blockOpened) << std::hex << r.code;

    std::vector<u8> jobStart(264, 0);
    std::memcpy(&jobStart[0], &link.s.jobId, 4);
    std::memcpy(&jobStart[4], printer.data(), 127);
    std::memcpy(&jobStart[132], "doc.lbl", 7);
    const u32 handle = 0x00012345;
    std::memcpy(&jobStart[260], &handle, 4);
    ExpectBlock(g_received[0].block, jobStart, "job start");
    EXPECT_EQ(g_received[0].block[130], 'x');  // the 127th character; the 128th is cut
    EXPECT_EQ(g_received[0].block[131], 0);

    std::vector<u8> media(73, 0);
    std::memset(&media[0], 'C', 63);
    const u8 singles[] = {0xA1, 0xA2, 0xA3, 0x3E, 0x0B, 0xEE, 0xA4, 0x03, 0x02};
    std::memcpy(&media[64], singles, sizeof singles);
    ExpectBlock(g_received[1].block, media, "media settings");

    ExpectBlock(g_received[2].block, {0, 0, 0, 0, 7, 0, 75, 0}, "progress");
    EXPECT_EQ(link.s.lastPercent, 75);
    ExpectBlock(g_received[3].block, {0, 0, 62, 0x0A, 0x55}, "media status");
}

TEST(SendNotify, ProgressSendsOnlyWhatIsNew) {
    Receiver receiver;
    LinkSession link;
    link.s.monitorWindow = receiver.window;
    link.s.jobInfo.pageNumber = 3;
    link.s.lastPercent = -1;

    link.s.jobInfo.pageBytes = 0;
    for (i16 kind : {SEG_PLAIN, SEG_PAGE_END, SEG_SPLIT}) EXPECT_TRUE(SendProgress(link.s, kind));
    EXPECT_TRUE(g_received.empty());
    EXPECT_TRUE(SendProgress(link.s, SEG_LAST_PAGE));
    ASSERT_EQ(g_received.size(), 1u);
    ExpectBlock(g_received[0].block, {0, 0, 0, 0, 1, 0, 100, 0}, "no byte count");

    g_received.clear();
    link.s.jobInfo.pageBytes = 200;
    link.s.pageBytesSent = 200;
    EXPECT_TRUE(SendProgress(link.s, SEG_PLAIN));  // 100
    EXPECT_TRUE(SendProgress(link.s, SEG_PLAIN));  // 100 again: dropped
    EXPECT_TRUE(SendProgress(link.s, SEG_PAGE_END));  // page end: always
    ASSERT_EQ(g_received.size(), 2u);
    ExpectBlock(g_received[1].block, {0, 0, 0, 0, 3, 0, 100, 0}, "page end");
}

TEST(SendNotify, NoWindowCancelsTheJobAndSendsNothing) {
    LinkSession link;
    link.s.monitorProcessId = 0xFFFFFFF0;  // no such process
    link.s.monitorThreadId = 0xFFFFFFF0;
    LONG counter = g_process.blockCounter;
    for (bool withBlock : {false, true}) {
        link.s.resetNeeded = 0;
        SetState(link.s, STATE_NONE, 0);
        u8 data[8] = {};
        EXPECT_FALSE(SendNotify(link.s, withBlock ? NotifyProgress : NotifyPrinting, data,
                                withBlock ? 8 : 0, withBlock));
        EXPECT_EQ(link.s.stateClass, STATE_FATAL);
        EXPECT_EQ(link.s.stateCode, 0);
        EXPECT_EQ(link.s.resetNeeded, 1);
        EXPECT_EQ(link.s.lastNotifyCode, 0u);
    }
    EXPECT_EQ(g_process.blockCounter, counter);
}

TEST(SendNotify, BlockThatCannotBeMadeSendsSystemErrorAndCancels) {
    Receiver receiver;
    LinkSession link;
    link.s.monitorWindow = receiver.window;
    link.s.ownerThreadId = 0x7000;
    // Another kind of object already holds the name of the next block.
    u32 next = 0x7000 + static_cast<u32>(g_process.blockCounter) + 1;
    HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, BlockName(next).c_str());
    ASSERT_NE(squatter, nullptr);
    StatusPacket packet{};
    EXPECT_FALSE(SendMediaStatus(link.s, packet));
    CloseHandle(squatter);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].code, NotifySystemError);
    EXPECT_EQ(g_received[0].lParam, 0u);
    EXPECT_EQ(link.s.stateClass, STATE_FATAL);
    EXPECT_EQ(link.s.stateCode, 0);
    EXPECT_EQ(link.s.resetNeeded, 1);
}

TEST(ConnectWindow, IsHiddenTitledAndOfItsClass) {
    LinkSession link;
    ASSERT_TRUE(link.connect());
    HWND window = static_cast<HWND>(link.s.connectWindow);
    char text[64] = {};
    GetClassNameA(window, text, sizeof text);
    EXPECT_STREQ(text, CONNECT_WINDOW_CLASS);
    GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Label - test");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetThreadId(link.s.connectThread));
    EXPECT_EQ(g_process.connectTarget, &link.s);

    // WM_CLOSE ends the thread with the quit code 0.
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(link.s.connectThread, 10000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(link.s.connectThread, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_process.connectTarget, nullptr);
    link.s.connectWindow = nullptr;
}

TEST(ConnectWindow, PauseHoldsTheEventAndContinueResendsThePhase) {
    Receiver receiver;
    LinkSession link;
    ASSERT_TRUE(link.connect());
    link.s.monitorWindow = receiver.window;
    link.s.printingPhase = 1;
    link.s.lastNotifyCode = NotifyPrinting;

    link.reply(0x20000);
    EXPECT_EQ(GetReplyState(link.s), REPLY_PAUSE);
    EXPECT_FALSE(link.eventSet());
    EXPECT_TRUE(g_received.empty());

    link.reply(0x10000);
    EXPECT_EQ(GetReplyState(link.s), REPLY_CONTINUE);
    EXPECT_TRUE(link.eventSet());
    // Straight to the window, past the repeat rule, without touching its record.
    EXPECT_EQ(receiver.codes(), (std::vector<u32>{NotifyPrinting}));
    EXPECT_EQ(link.s.lastNotifyCode, NotifyPrinting);
}

TEST(ConnectWindow, RepliesStoreTheHighHalfOfWParam) {
    struct Case {
        const char* what;
        WPARAM wParam;
        i32 printing;
        i32 waiting;
        u32 state;
        bool eventSet;
        std::vector<u32> resent;
    };
    const Case cases[] = {
        {"continue, no phase", 0x10000, 0, 0, 1, true, {}},
        {"continue while printing", 0x10000, 1, 0, 1, true, {NotifyPrinting}},
        {"continue while waiting", 0x10000, 0, 1, 1, true, {NotifyWaiting}},
        {"continue with both phases", 0x10000, 1, 1, 1, true, {NotifyPrinting}},
        {"low half ignored", 0x1FFFF, 1, 0, 1, true, {NotifyPrinting}},
        {"pause", 0x20001, 1, 0, 2, false, {}},
        {"cancel", 0x30000, 1, 0, 3, true, {}},
        {"other state ends the wait", 0x70000, 1, 1, 7, true, {}},
        {"zero", 0x0, 1, 1, 0, true, {}},
    };
    for (const Case& c : cases) {
        Receiver receiver;
        LinkSession link;
        ASSERT_TRUE(link.connect()) << c.what;
        link.s.monitorWindow = receiver.window;
        link.s.printingPhase = c.printing;
        link.s.waitingPhase = c.waiting;
        link.s.replyState = REPLY_AWAITED;
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
    EXPECT_EQ(g_process.connectTarget, &second.s);
    first.s.replyState = second.s.replyState = REPLY_AWAITED;

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
    link.s.monitorWindow = receiver.window;
    link.s.replyState = 7;
    SetEvent(link.s.replyEvent);
    u32 state = 0;
    EXPECT_TRUE(WaitForReply(link.s, state));
    EXPECT_EQ(state, 7u);

    ResetEvent(link.s.replyEvent);
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
        {REPLY_CANCEL, keep | PSF_PAUSED, false, keep | PSF_PAUSED | PSF_RESET_ON_STOP, STATE_FATAL, 1},
        {REPLY_AWAITED, keep | PSF_PAUSED, true, keep | PSF_PAUSED, STATE_NONE, 0},
        {7, keep, true, keep, STATE_NONE, 0},
        {0, keep | PSF_PAUSED, true, keep | PSF_PAUSED, STATE_NONE, 0},
    };
    for (const Case& c : cases) {
        LinkedTable();
        PortSession session{};
        session.replyState = c.reply;
        session.flags = c.flagsBefore;
        EXPECT_EQ(CheckReply(session), c.result) << c.reply;
        EXPECT_EQ(session.flags, c.flagsAfter) << c.reply;
        EXPECT_EQ(session.stateClass, c.stateClass) << c.reply;
        EXPECT_EQ(session.stateCode, 0) << c.reply;
        EXPECT_EQ(session.resetNeeded, c.resetNeeded) << c.reply;
    }
}

}  // namespace
