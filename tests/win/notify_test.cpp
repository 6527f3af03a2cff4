// Notifications to the status monitor application and their blocks.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/process_state.h"
#include "rig/statmon_log.h"
#include "statmon/launch.h"
#include "statmon/notify.h"
#include "statmon/reply_check.h"
#include "stream/transmit.h"
#include "rig/link_session.h"
#include "rig/linked_monitor.h"

namespace {

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
              static_cast<long>(got.size() - expected.size()))
        << what;
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
        {"error, printing, error",
         {error15, NotifyPrinting, error15},
         {error15, NotifyPrinting, error15}},
        {"phase twice", {NotifyWaiting, NotifyWaiting}, {NotifyWaiting}},
        {"fatal twice", {0x30005, 0x30005}, {0x30005}},
        // The application exits once it has heard the job end: nothing more is sent.
        {"nothing after the job end",
         {error15, NotifyJobEnd, error15, NotifyJobEnd},
         {error15, NotifyJobEnd}},
        {"different codes of one class", {error15, 0x20010}, {error15, 0x20010}},
    };
    for (const Case& c : cases) {
        Receiver receiver;
        LinkSession link;
        link.s.job.link.monitorWindow = receiver.window;
        bool ended = false;
        for (u32 code : c.codes) {
            link.s.job.link.replyState = REPLY_CONTINUE;
            SetEvent(link.s.job.link.replyEvent);
            EXPECT_TRUE(SendNotify(link.s, code)) << c.what;
            u32 stateClass = code >> 16;
            bool awaited = !ended && (stateClass == 2 || stateClass == 3);
            ended = ended || code == NotifyJobEnd;
            // Even a dropped repeat marks the reply as awaited.
            EXPECT_EQ(GetReplyState(link.s), awaited ? REPLY_AWAITED : REPLY_CONTINUE) << c.what;
        }
        EXPECT_EQ(receiver.codes(), c.delivered) << c.what;
        for (const Received& r : ReceivedNotifications()) EXPECT_EQ(r.lParam, 0u) << c.what;
    }
}

TEST(SendNotify, BlockNotificationsAreNeverDroppedAsRepeats) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.jobInfo.pageBytes = 1000;
    link.s.job.jobInfo.pageNumber = 1;
    link.s.job.data.lastPercent = 100;
    StatusPacket packet{};
    EXPECT_TRUE(SendProgress(link.s, SEG_PAGE_END));
    EXPECT_TRUE(SendProgress(link.s, SEG_PAGE_END));
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    EXPECT_EQ(receiver.codes(), (std::vector<u32>{NotifyProgress, NotifyProgress, NotifyMediaStatus,
                                                  NotifyMediaStatus}));
    EXPECT_EQ(link.s.job.link.lastNotifyCode, 0u);
}

TEST(SendNotify, SendResetsTheReplyEventFirst) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    SetEvent(link.s.job.link.replyEvent);
    EXPECT_TRUE(SendNotify(link.s, NotifyPrinting));
    EXPECT_FALSE(link.eventSet());
    // A dropped repeat leaves the event alone.
    SetEvent(link.s.job.link.replyEvent);
    EXPECT_TRUE(SendNotify(link.s, NotifyPrinting));
    EXPECT_TRUE(link.eventSet());
}

TEST(SendNotify, BlocksAreNamedByThreadAndCounterAndLiveOnlyThroughTheMessage) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.ownerThreadId = 0x104;
    // A fresh counter, as if no block had been made since the library was
    // loaded; put back afterwards so that later names stay new.
    LONG saved = g_process.blockCounter;
    g_process.blockCounter = 0;
    StatusPacket packet{};
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    ASSERT_EQ(ReceivedNotifications().size(), 2u);
    EXPECT_EQ(BlockName(ReceivedNotifications()[0].lParam), "00000105.mmf");
    EXPECT_EQ(BlockName(ReceivedNotifications()[1].lParam), "00000106.mmf");
    for (const Received& r : ReceivedNotifications()) {
        EXPECT_TRUE(r.blockOpened);
        std::vector<u8> after;
        EXPECT_FALSE(ReadSharedBlock(r.lParam, after)) << "block outlived its message";
    }

    // The sum wraps as an unsigned 32-bit value.
    link.s.job.ownerThreadId = 0xFFFFFFF0;
    g_process.blockCounter = 0x20;
    ReceivedNotifications().clear();
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    g_process.blockCounter = saved > 0x21 ? saved : 0x21;
    ASSERT_EQ(ReceivedNotifications().size(), 1u);
    EXPECT_EQ(BlockName(ReceivedNotifications()[0].lParam), "00000011.mmf");
    EXPECT_TRUE(ReceivedNotifications()[0].blockOpened);
}

TEST(SendNotify, BlocksHaveTheirExactSizeAndLayout) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.link.connectWindow =
        reinterpret_cast<WindowHandle>(static_cast<uintptr_t>(0x00012345));
    link.s.job.jobId = 0x11223344;
    std::string printer(200, 'P');
    printer[126] = 'x';
    printer[127] = 'y';
    link.s.job.printerName = DuplicateText(printer.c_str());
    link.s.job.documentName = DuplicateText("doc.lbl");

    JobInfoBlock& info = link.s.job.jobInfo;
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
    link.s.job.data.pageBytesSent = 500;
    link.s.job.data.lastPercent = -1;

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
    for (const Received& r : ReceivedNotifications())
        ASSERT_TRUE(r.blockOpened) << std::hex << r.code;

    std::vector<u8> jobStart(264, 0);
    std::memcpy(&jobStart[0], &link.s.job.jobId, 4);
    std::memcpy(&jobStart[4], printer.data(), 127);
    std::memcpy(&jobStart[132], "doc.lbl", 7);
    const u32 handle = 0x00012345;
    std::memcpy(&jobStart[260], &handle, 4);
    ExpectBlock(ReceivedNotifications()[0].block, jobStart, "job start");
    EXPECT_EQ(ReceivedNotifications()[0].block[130], 'x');  // the 127th character; the 128th is cut
    EXPECT_EQ(ReceivedNotifications()[0].block[131], 0);

    std::vector<u8> media(73, 0);
    std::memset(&media[0], 'C', 63);
    const u8 singles[] = {0xA1, 0xA2, 0xA3, 0x3E, 0x0B, 0xEE, 0xA4, 0x03, 0x02};
    std::memcpy(&media[64], singles, sizeof singles);
    ExpectBlock(ReceivedNotifications()[1].block, media, "media settings");

    ExpectBlock(ReceivedNotifications()[2].block, {0, 0, 0, 0, 7, 0, 75, 0}, "progress");
    EXPECT_EQ(link.s.job.data.lastPercent, 75);
    ExpectBlock(ReceivedNotifications()[3].block, {0, 0, 62, 0x0A, 0x55}, "media status");
}

TEST(SendNotify, ProgressSendsOnlyWhatIsNew) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.jobInfo.pageNumber = 3;
    link.s.job.data.lastPercent = -1;

    link.s.job.jobInfo.pageBytes = 0;
    for (i16 kind : {SEG_PLAIN, SEG_PAGE_END, SEG_SPLIT}) EXPECT_TRUE(SendProgress(link.s, kind));
    EXPECT_TRUE(ReceivedNotifications().empty());
    EXPECT_TRUE(SendProgress(link.s, SEG_LAST_PAGE));
    ASSERT_EQ(ReceivedNotifications().size(), 1u);
    ExpectBlock(ReceivedNotifications()[0].block, {0, 0, 0, 0, 1, 0, 100, 0}, "no byte count");

    ReceivedNotifications().clear();
    link.s.job.jobInfo.pageBytes = 200;
    link.s.job.data.pageBytesSent = 200;
    EXPECT_TRUE(SendProgress(link.s, SEG_PLAIN));     // 100
    EXPECT_TRUE(SendProgress(link.s, SEG_PLAIN));     // 100 again: dropped
    EXPECT_TRUE(SendProgress(link.s, SEG_PAGE_END));  // page end: always
    ASSERT_EQ(ReceivedNotifications().size(), 2u);
    ExpectBlock(ReceivedNotifications()[1].block, {0, 0, 0, 0, 3, 0, 100, 0}, "page end");
}

TEST(SendNotify, NoWindowCancelsTheJobAndSendsNothing) {
    LinkSession link;
    link.s.job.link.monitorProcessId = 0xFFFFFFF0;  // no such process
    link.s.job.link.monitorThreadId = 0xFFFFFFF0;
    LONG counter = g_process.blockCounter;
    for (bool withBlock : {false, true}) {
        link.s.job.resetNeeded = false;
        SetState(link.s, STATE_NONE, 0);
        u8 data[8] = {};
        EXPECT_FALSE(SendNotify(link.s, withBlock ? NotifyProgress : NotifyPrinting, data,
                                withBlock ? 8 : 0, withBlock));
        EXPECT_EQ(link.s.stateClass, STATE_FATAL);
        EXPECT_EQ(link.s.stateCode, 0);
        EXPECT_EQ(link.s.job.resetNeeded, 1);
        EXPECT_EQ(link.s.job.link.lastNotifyCode, 0u);
    }
    EXPECT_EQ(g_process.blockCounter, counter);
}

TEST(SendNotify, AnotherJobsLivingBlockKeepsItsNameAndData) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.ownerThreadId = 0x6000;
    // Another job's block, its application still handling it, has the next name.
    u32 next = 0x6000 + static_cast<u32>(g_process.blockCounter) + 1;
    const std::vector<u8> theirs(64, 0xAA);
    HANDLE other = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                      BlockName(next).c_str());
    ASSERT_NE(other, nullptr);
    void* view = MapViewOfFile(other, FILE_MAP_WRITE, 0, 0, 64);
    ASSERT_NE(view, nullptr);
    std::memcpy(view, theirs.data(), theirs.size());
    UnmapViewOfFile(view);

    StatusPacket packet{};
    EXPECT_TRUE(SendMediaStatus(link.s, packet));
    ASSERT_EQ(ReceivedNotifications().size(), 1u);
    EXPECT_EQ(ReceivedNotifications()[0].lParam, next + 1);
    EXPECT_TRUE(ReceivedNotifications()[0].blockOpened);
    std::vector<u8> after;
    EXPECT_TRUE(ReadSharedBlock(next, after));
    ExpectBlock(after, theirs, "the other job's block");
    CloseHandle(other);
}

TEST(SendNotify, BlockThatCannotBeMadeSendsSystemErrorAndCancels) {
    Receiver receiver;
    LinkSession link;
    link.s.job.link.monitorWindow = receiver.window;
    link.s.job.ownerThreadId = 0x7000;
    // Another kind of object already holds the name of the next block.
    u32 next = 0x7000 + static_cast<u32>(g_process.blockCounter) + 1;
    HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, BlockName(next).c_str());
    ASSERT_NE(squatter, nullptr);
    StatusPacket packet{};
    EXPECT_FALSE(SendMediaStatus(link.s, packet));
    CloseHandle(squatter);
    ASSERT_EQ(ReceivedNotifications().size(), 1u);
    EXPECT_EQ(ReceivedNotifications()[0].code, NotifySystemError);
    EXPECT_EQ(ReceivedNotifications()[0].lParam, 0u);
    EXPECT_EQ(link.s.stateClass, STATE_FATAL);
    EXPECT_EQ(link.s.stateCode, 0);
    EXPECT_EQ(link.s.job.resetNeeded, 1);
}

}  // namespace
