// The status monitor application's platform-free decisions: the state table
// and the headless policy.
#include <gtest/gtest.h>

#include "qxsmon/states.h"
#include "core/statmon_interface.h"

namespace {

TEST(StateTable, NamesEveryStateTheMonitorReports) {
    const u32 waits[] = {0x20001, 0x20005, 0x20013, 0x20031, 0x20008, 0x2000D, 0x20009,
                         0x20014, 0x20016, 0x20015, 0x2000F, 0x20010, 0x2001A};
    const u32 stops[] = {0x3000C, 0x30018, 0x3001B, 0x30063, 0x3001C, NotifySystemError};
    for (u32 code : waits) {
        StateText state = LookUpState(code);
        EXPECT_FALSE(state.generic) << std::hex << code;
        EXPECT_NE(state.kind, StateKind::Fatal) << std::hex << code;
    }
    for (u32 code : stops) {
        StateText state = LookUpState(code);
        EXPECT_FALSE(state.generic) << std::hex << code;
        EXPECT_EQ(state.kind, StateKind::Fatal) << std::hex << code;
    }
    EXPECT_TRUE(LookUpState(0x2002A).generic);
    EXPECT_EQ(LookUpState(0x2002A).kind, StateKind::Fixable);
    EXPECT_EQ(LookUpState(0x3FFFF).kind, StateKind::Fatal);
}

TEST(HeadlessPolicy, ContinuesWhatCanBeFixedWhileRetriesRemain) {
    struct Case {
        u32 code;
        u32 continuesSoFar;
        u32 reply;
        u32 afterMs;
    } cases[] = {
        {0x20005, 0, REPLY_CONTINUE, 250},  // cover open
        {0x20001, 2, REPLY_CONTINUE, 250},  // media empty
        {0x2000F, 3, REPLY_CANCEL, 0},      // wrong media, retries used up
        {0x2002A, 0, REPLY_CONTINUE, 250},  // unknown, but the monitor waits for it
        {0x20015, 0, REPLY_CANCEL, 0},      // wrong printer: no one can fix it at the printer
        {0x3000C, 0, REPLY_CANCEL, 0},      // fatal
        {NotifySystemError, 0, REPLY_CANCEL, 0},
        {NotifyPrinting, 0, 0, 0},          // not a state
        {NotifyJobEnd, 0, 0, 0},
    };
    for (const Case& c : cases) {
        PolicyAnswer answer = HeadlessAnswer(c.code, c.continuesSoFar, {250, 3});
        EXPECT_EQ(answer.reply, c.reply) << std::hex << c.code;
        EXPECT_EQ(answer.afterMs, c.afterMs) << std::hex << c.code;
    }
}

}  // namespace
