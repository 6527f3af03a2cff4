// The text of trace lines: the prefix, the bound and its cut mark, the names
// of codes and states, the packet's short hex prefix, and a job's outcome.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/trace_format.h"
#include "core/statmon_interface.h"

namespace {

std::string Text(const TraceLine& line) { return std::string(line.text, line.length); }

TEST(TraceFormat, LineStartsWithSourceTimeThreadAndPort) {
    TraceLine line;
    TraceBegin(line, TraceTime{2025, 3, 1, 4, 5, 6, 7}, 1234, "QXUSB001");
    TraceAppend(line, "close");
    TraceFinish(line);
    EXPECT_EQ(Text(line), "qxlmon 2025-03-01 04:05:06.007 [1234] QXUSB001 close\r\n");
    TraceBegin(line, TraceTime{2025, 12, 31, 23, 59, 59, 999}, 7, nullptr);
    EXPECT_EQ(Text(line), "qxlmon 2025-12-31 23:59:59.999 [7] - ");
}

TEST(TraceFormat, LongLinesAreCutToTheBoundWithAMark) {
    const u32 body = TRACE_LINE_SIZE - 2;  // the end of line always fits
    struct Case {
        u32 first, second;  // two appends of so many characters
        bool cut;
    };
    const Case cases[] = {{body - 1, 0, false}, {body - 1, 1, false}, {body, 1, true},
                          {body + 1, 0, true},  {1000, 0, true},      {200, 200, true}};
    for (Case c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << "+" << c.second);
        TraceLine line{};
        TraceAppend(line, "%s", std::string(c.first, 'x').c_str());
        TraceAppend(line, "%s", std::string(c.second, 'y').c_str());
        TraceAppend(line, "%s", "");
        TraceFinish(line);
        std::string text = Text(line);
        EXPECT_EQ(line.cut, c.cut);
        EXPECT_EQ(text.size(), std::strlen(line.text));
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        if (c.cut) {
            EXPECT_EQ(text.size(), TRACE_LINE_SIZE);
            EXPECT_EQ(text.substr(text.size() - 5, 3), "...");
        } else {
            EXPECT_EQ(text.size(), c.first + c.second + 2);
        }
    }
}

TEST(TraceFormat, NotificationsAndStatesByName) {
    struct NotifyCase {
        u32 code;
        const char* text;
    };
    for (NotifyCase c : {NotifyCase{NotifyPrinting, "printing"},
                         {NotifyJobEnd, "job end"},
                         {NotifySystemError, "system error"},
                         {0x20014, "state (2,20) cover open"},
                         {0x20005, "state (2,5) end of media"},
                         {0x2002A, "state (2,42)"},
                         {0x30000, "state (3,0) stop"},
                         {0x60001, "0x60001"}}) {
        TraceLine line{};
        TraceAppendNotify(line, c.code);
        EXPECT_EQ(Text(line), c.text);
    }
    struct StateCase {
        i16 stateClass, stateCode;
        const char* text;
    };
    for (StateCase c : {StateCase{1, 0, "(1,0) ready"},
                        {2, 26, "(2,26) communication failure"},
                        {2, -1, "(2,-1) read timed out"},
                        {2, 5, "(2,5) end of media"},
                        {2, 20, "(2,20) cover open"},
                        {3, 24, "(3,24) power adapter fault"},
                        {2, 42, "(2,42) printer error"},
                        {3, 42, "(3,42) fatal printer error"},
                        {4, 0, "(4,0) printer gone"},
                        {7, 1, "(7,1)"}}) {
        TraceLine line{};
        TraceAppendState(line, c.stateClass, c.stateCode);
        EXPECT_EQ(Text(line), c.text);
    }
    EXPECT_STREQ(SegmentKindName(SEG_LAST_PAGE), "last page");
    EXPECT_STREQ(PortTypeName(PORTTYPE_NETWORK), "network");
    EXPECT_EQ(PortTypeName(2), nullptr);
    EXPECT_EQ(StatusTypeName(7), nullptr);
    EXPECT_STREQ(ReplyName(REPLY_CANCEL), "cancel");
    EXPECT_EQ(ReplyName(0x10000), nullptr);
}

TEST(TraceFormat, PacketShowsItsFieldsAndOnlyItsFirstBytes) {
    u8 bytes[32];
    for (u32 i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<u8>(0xA0 + i);
    StatusPacket packet;
    std::memcpy(&packet, bytes, sizeof packet);
    packet.statusType = STATUS_PHASE_CHANGE;
    TraceLine line{};
    TraceAppendPacket(line, packet);
    EXPECT_EQ(Text(line),
              "phase change, phase 179/46261, errors a8 a9, media width 170 type 0xab extra 0xb1, "
              "bytes a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab");
    packet.statusType = 9;
    line = TraceLine{};
    TraceAppendPacket(line, packet);
    EXPECT_EQ(Text(line).rfind("type 9, ", 0), 0u);
}

TEST(TraceFormat, JobOutcomeFromTheRecordAtTheJobEnd) {
    struct Case {
        const char* outcome;
        u32 flags;
        u32 jobEnd;
        i16 stateClass, stateCode;
        u32 replyState;
    };
    const Case cases[] = {
        {"printed", 0, TRACE_END_OPEN, 1, 0, REPLY_CONTINUE},
        {"printed", PSF_STOPPED, TRACE_END_LAST_PAGE, 1, 0, REPLY_CONTINUE},
        {"cancelled", PSF_STOPPED, TRACE_END_OPEN, 2, 5, REPLY_CANCEL},
        {"cancelled", PSF_STOPPED | PSF_RESET_ON_STOP, TRACE_END_OPEN, 3, 0, REPLY_AWAITED},
        {"stopped", PSF_STOPPED, TRACE_END_OPEN, 4, 0, REPLY_CONTINUE},
        {"stopped", PSF_STOPPED, TRACE_END_OPEN, 3, 24, REPLY_AWAITED},
        {"not printed", 0, TRACE_END_REBUILD_REFUSED, 0, 0, REPLY_CONTINUE},
    };
    for (const Case& c : cases) {
        PortSession session{};
        session.job.flags = c.flags;
        session.trace.jobEnd = c.jobEnd;
        session.stateClass = c.stateClass;
        session.stateCode = c.stateCode;
        session.job.link.replyState = c.replyState;
        EXPECT_STREQ(JobOutcome(session), c.outcome) << c.stateClass << "," << c.stateCode;
    }
}

}  // namespace
