// The launch of the status monitor application, through the real QXSMON.EXE
// stand-in, and the link with it through a job.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/process_state.h"
#include "rig/message_box_watcher.h"
#include "rig/statmon_log.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "rig/linked_monitor.h"

namespace {

// A port with a job on it as job start leaves it for the link; the link is
// ended afterwards as the job end does.
struct LinkJob {
    OpenedPort port;
    PortSession& s;

    LinkJob(const char* portName, u32 jobId, const std::string& printer,
            const std::string& document)
        : port(portName), s(*port.session()) {
        s.job.link.replyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        s.job.link.replyState = REPLY_CONTINUE;
        s.job.ownerThreadId = GetCurrentThreadId();
        s.job.jobId = jobId;
        s.job.printerName = DuplicateText(printer.c_str());
        s.job.documentName = DuplicateText(document.c_str());
        s.job.link.windowTitle = DuplicateText((printer + " - " + document).c_str());
        s.job.flags |= PSF_LAUNCH_STATMON;
    }

    ~LinkJob() {
        endLink();
        CloseHandle(s.job.link.replyEvent);
        s.job.link.replyEvent = nullptr;
        for (char** text : {&s.job.printerName, &s.job.documentName, &s.job.link.windowTitle}) {
            FreeText(*text);
            *text = nullptr;
        }
    }

    void endLink() {
        if (s.job.link.monitorProcess != nullptr) {
            // The stand-in exits at the job end; one that cannot be told is ended here.
            bool told = IsWindow(static_cast<HWND>(s.job.link.monitorWindow)) &&
                        SendNotify(s, NotifyJobEnd);
            if (WaitForSingleObject(s.job.link.monitorProcess, told ? 10000 : 0) != WAIT_OBJECT_0) {
                TerminateProcess(s.job.link.monitorProcess, 1);
                WaitForSingleObject(s.job.link.monitorProcess, 10000);
            }
            CloseHandle(s.job.link.monitorProcess);
            s.job.link.monitorProcess = nullptr;
        }
        if (s.job.link.connectWindow != nullptr)
            PostMessageA(static_cast<HWND>(s.job.link.connectWindow), WM_CLOSE, 0, 0);
        if (s.job.link.connectThread != nullptr) {
            EXPECT_EQ(WaitForSingleObject(s.job.link.connectThread, 10000), WAIT_OBJECT_0);
            CloseHandle(s.job.link.connectThread);
            s.job.link.connectThread = nullptr;
        }
        s.job.link.connectWindow = nullptr;
        s.job.link.monitorWindow = nullptr;
    }

    u32 handleOf(WindowHandle window) const {
        return static_cast<u32>(reinterpret_cast<uintptr_t>(window));
    }
};

u32 ReadU32(const std::vector<u8>& bytes, size_t at) {
    u32 value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

const StatmonRecord* Find(const std::vector<StatmonRecord>& records, const std::string& event) {
    for (const auto& record : records) {
        if (record.event == event) return &record;
    }
    return nullptr;
}

TEST(Launch, ConnectsAndSendsConnectJobStartAndPrinting) {
    StatmonEnvironment environment("normal");
    LinkJob job("QXUSB001", 42, "Label", "shipping.lbl");
    // An earlier job's application was told NotifyConnect last; a new one must still hear it.
    job.s.job.link.lastNotifyCode = NotifyConnect;

    DWORD start = GetTickCount();
    ASSERT_EQ(LaunchStatusMonitor(job.s), LAUNCH_LINKED);
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(job.s.job.flags & (PSF_LAUNCH_STATMON | PSF_STOPPED), 0u);
    EXPECT_NE(job.s.job.link.monitorProcess, nullptr);
    EXPECT_EQ(GetProcessId(job.s.job.link.monitorProcess), job.s.job.link.monitorProcessId);
    EXPECT_NE(job.s.job.link.monitorWindow, nullptr);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_FALSE(WaitForSingleObject(job.s.job.link.replyEvent, 0) == WAIT_OBJECT_0);

    auto records = environment.waitFor(
        [](const std::vector<StatmonRecord>& r) { return NotifyCodes(r).size() >= 3; });
    EXPECT_EQ(NotifyCodes(records),
              (std::vector<u32>{NotifyConnect, NotifyJobStart, NotifyPrinting}));
    const StatmonRecord* started = Find(records, "start");
    ASSERT_NE(started, nullptr);
    EXPECT_NE(started->line.find("args QX28"), std::string::npos) << started->line;
    EXPECT_EQ(started->processId, job.s.job.link.monitorProcessId);
    EXPECT_NE(started->line.find("thread " + std::to_string(job.s.job.link.monitorThreadId)),
              std::string::npos)
        << started->line;

    // The window is found at the next search, and NotifyConnect follows it
    // (after a pause whose length the tests leave to the benchmarks).
    const StatmonRecord* window = Find(records, "window");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(
        window->line.substr(window->line.find("0x")), "0x" + [&] {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08x", job.handleOf(job.s.job.link.monitorWindow));
            return std::string(hex);
        }());
    auto notes = Notifications(records);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_LE(window->tick, notes[0].tick);

    const StatmonRecord& jobStart = notes[1];
    ASSERT_TRUE(jobStart.blockOpened);
    ASSERT_GE(jobStart.block.size(), 264u);
    EXPECT_EQ(ReadU32(jobStart.block, 0), 42u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&jobStart.block[4]), "Label");
    EXPECT_STREQ(reinterpret_cast<const char*>(&jobStart.block[132]), "shipping.lbl");
    EXPECT_EQ(ReadU32(jobStart.block, 260), job.handleOf(job.s.job.link.connectWindow));
    EXPECT_EQ(jobStart.lParam, job.s.job.ownerThreadId + static_cast<u32>(g_process.blockCounter));

    job.endLink();
    records =
        environment.waitFor([](const std::vector<StatmonRecord>& r) { return Find(r, "exit"); });
    EXPECT_EQ(NotifyCodes(records).back(), NotifyJobEnd);
    EXPECT_NE(Find(records, "exit"), nullptr);
}

TEST(Launch, WindowNotFoundShowsTheMessageBoxAndStopsTheJob) {
    // Each mode leaves no window that is the application's own (the pop-up's
    // thread also has the system's input method window, which is not taken).
    for (const char* mode : {"popup", "nowindow", "otherthread"}) {
        StatmonEnvironment environment(mode);
        LinkJob job("QXUSB002", 7, "Label", "doc");
        MessageBoxWatcher watcher(LAUNCH_FAILURE_CAPTION);
        DWORD start = GetTickCount();
        EXPECT_EQ(LaunchStatusMonitor(job.s), LAUNCH_DROPPED) << mode;
        DWORD elapsed = GetTickCount() - start;
        EXPECT_NE(job.s.job.flags & PSF_STOPPED, 0u) << mode;
        EXPECT_NE(job.s.job.flags & PSF_LAUNCH_STATMON, 0u) << mode;
        if (job.s.job.link.monitorWindow != nullptr) {
            char className[64] = {};
            GetClassNameA(static_cast<HWND>(job.s.job.link.monitorWindow), className,
                          sizeof className);
            ADD_FAILURE() << mode << " took a window of class " << className << " style "
                          << std::hex
                          << GetWindowLongA(static_cast<HWND>(job.s.job.link.monitorWindow),
                                            GWL_STYLE)
                          << " owner "
                          << GetWindow(static_cast<HWND>(job.s.job.link.monitorWindow), GW_OWNER);
            for (const auto& r : environment.records()) ADD_FAILURE() << r.line;
        }
        EXPECT_EQ(watcher.texts(), std::vector<std::string>{LAUNCH_FAILURE_TEXT}) << mode;
        DWORD shown = watcher.firstSeen() - start;
        EXPECT_GE(shown, 9500u) << mode;
        EXPECT_LT(shown, 20000u) << mode;
        EXPECT_LT(elapsed, 30000u) << mode;

        auto records = environment.records();
        ASSERT_NE(Find(records, "start"), nullptr) << mode;
        EXPECT_TRUE(NotifyCodes(records).empty()) << mode;
        if (std::string(mode) != "nowindow") {
            EXPECT_NE(Find(records, std::string(mode) == "popup" ? "popup" : "other"), nullptr)
                << mode;
        }
    }
}

TEST(Launch, ClosingTheApplicationWhileAReplyIsAwaitedIsACancel) {
    StatmonEnvironment environment("closeonstate");
    LinkJob job("QXUSB003", 8, "Label", "doc");
    ASSERT_EQ(LaunchStatusMonitor(job.s), LAUNCH_LINKED);
    EXPECT_TRUE(SendNotify(job.s, StateNotifyCode(STATE_ERROR, 15)));
    DWORD start = GetTickCount();
    u32 state = 0;
    EXPECT_TRUE(WaitForReply(job.s, state));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(state, REPLY_CANCEL);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_EQ(WaitForSingleObject(job.s.job.link.monitorProcess, 10000), WAIT_OBJECT_0);
}

TEST(Launch, PauseThenContinueFromTheApplication) {
    StatmonEnvironment environment("normal", "on 0x2000f reply 2; on 0x2000f reply 1 after 400");
    LinkJob job("QXUSB004", 9, "Label", "doc");
    ASSERT_EQ(LaunchStatusMonitor(job.s), LAUNCH_LINKED);
    job.s.job.link.phase = ShownPhase::Printing;
    EXPECT_TRUE(SendNotify(job.s, StateNotifyCode(STATE_ERROR, 15)));
    DWORD start = GetTickCount();
    u32 state = 0;
    EXPECT_TRUE(WaitForReply(job.s, state));
    DWORD elapsed = GetTickCount() - start;
    // The pause does not end the wait; the continue does, and brings the phase again.
    EXPECT_EQ(state, REPLY_CONTINUE);
    EXPECT_GE(elapsed, 300u);
    EXPECT_LT(elapsed, 5000u);
    auto records = environment.waitFor(
        [](const std::vector<StatmonRecord>& r) { return NotifyCodes(r).size() >= 5; });
    EXPECT_EQ(NotifyCodes(records), (std::vector<u32>{NotifyConnect, NotifyJobStart, NotifyPrinting,
                                                      0x2000F, NotifyPrinting}));
}

TEST(Launch, TwoJobsInOneProcessEachGetTheirOwnReplies) {
    StatmonEnvironment firstEnvironment("normal", "on 0x2000f reply 3");
    LinkJob first("QXUSB005", 10, "Label A", "a");
    ASSERT_EQ(LaunchStatusMonitor(first.s), LAUNCH_LINKED);
    StatmonEnvironment secondEnvironment("normal", "on 0x2000f reply 1");
    LinkJob second("QXUSB006", 11, "Label B", "b");
    ASSERT_EQ(LaunchStatusMonitor(second.s), LAUNCH_LINKED);
    EXPECT_NE(first.s.job.link.monitorProcessId, second.s.job.link.monitorProcessId);

    // Polled, not waited for: a reply in the wrong record must fail, not hang.
    auto settle = [](PortSession& session) {
        for (int i = 0; i < 250 && GetReplyState(session) == REPLY_AWAITED; ++i) Sleep(20);
        return GetReplyState(session);
    };
    EXPECT_TRUE(SendNotify(first.s, StateNotifyCode(STATE_ERROR, 15)));
    EXPECT_EQ(settle(first.s), REPLY_CANCEL);
    EXPECT_EQ(GetReplyState(second.s), REPLY_CONTINUE);
    EXPECT_FALSE(WaitForSingleObject(second.s.job.link.replyEvent, 0) == WAIT_OBJECT_0);

    EXPECT_TRUE(SendNotify(second.s, StateNotifyCode(STATE_ERROR, 15)));
    EXPECT_EQ(settle(second.s), REPLY_CONTINUE);
    EXPECT_EQ(WaitForSingleObject(second.s.job.link.replyEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(GetReplyState(first.s), REPLY_CANCEL);
}

LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return FALSE;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Launch, ConnectWindowThatCannotBeMadeFailsTheWriteWithoutHanging) {
    LinkedTable();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    // Take the class name before the monitor does, with a procedure that refuses windows.
    UnregisterClassA(CONNECT_WINDOW_CLASS, instance);
    WNDCLASSA refusing = {};
    refusing.lpfnWndProc = RefuseCreation;
    refusing.hInstance = instance;
    refusing.lpszClassName = CONNECT_WINDOW_CLASS;
    ASSERT_NE(RegisterClassA(&refusing), 0);

    StatmonEnvironment environment("normal");
    LinkJob job("QXUSB007", 12, "Label", "doc");
    EXPECT_EQ(LaunchStatusMonitor(job.s), LAUNCH_NO_THREAD);
    EXPECT_NE(job.s.job.flags & PSF_STOPPED, 0u);
    EXPECT_EQ(job.s.job.link.connectWindow, nullptr);
    EXPECT_EQ(job.s.job.link.monitorProcess, nullptr);
    ASSERT_NE(job.s.job.link.connectThread, nullptr);
    EXPECT_EQ(WaitForSingleObject(job.s.job.link.connectThread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(environment.records().empty());
    job.endLink();
    EXPECT_TRUE(UnregisterClassA(CONNECT_WINDOW_CLASS, instance));
}

}  // namespace
