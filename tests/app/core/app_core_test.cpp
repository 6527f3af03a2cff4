// The status monitor application's platform-free decisions: the state table
// and the headless policy.
#include <gtest/gtest.h>

#include "qxsmon/states.h"
#include "core/statmon_interface.h"

namespace {

// Every state the monitor reports has this program's texts, and is answered
// as its kind says: a job that waits, or one that has stopped.
TEST(StateTable, NamesEveryStateTheMonitorReports) {
    size_t count = 0;
    const PrinterState* states = PrinterStates(count);
    for (size_t i = 0; i < count; ++i) {
        const PrinterState& state = states[i];
        bool reported = state.kind == StateKind::Fixable || state.kind == StateKind::WontClear ||
                        state.kind == StateKind::Fatal;
        if (!reported) continue;
        u32 code = StateNotifyCode(state.stateClass, state.stateCode);
        StateText text = LookUpState(code);
        EXPECT_FALSE(text.generic) << std::hex << code;
        EXPECT_NE(text.headlineId, 0) << std::hex << code;
        EXPECT_NE(text.adviceId, 0) << std::hex << code;
        EXPECT_EQ(text.kind == StateKind::Fatal, state.stateClass == STATE_FATAL)
            << std::hex << code;
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
        {0x20014, 0, REPLY_CONTINUE, 250},  // cover open
        {0x20001, 2, REPLY_CONTINUE, 250},  // media empty
        {0x2000F, 3, REPLY_CANCEL, 0},      // wrong media, retries used up
        {0x2002A, 0, REPLY_CONTINUE, 250},  // unknown, but the monitor waits for it
        {0x20015, 0, REPLY_CANCEL, 0},      // wrong printer: no one can fix it at the printer
        {0x3000C, 0, REPLY_CANCEL, 0},      // fatal
        {NotifySystemError, 0, REPLY_CANCEL, 0},
        {NotifyPrinting, 0, 0, 0},  // not a state
        {NotifyJobEnd, 0, 0, 0},
    };
    for (const Case& c : cases) {
        PolicyAnswer answer = HeadlessAnswer(c.code, c.continuesSoFar, {250, 3});
        EXPECT_EQ(answer.reply, c.reply) << std::hex << c.code;
        EXPECT_EQ(answer.afterMs, c.afterMs) << std::hex << c.code;
    }
}

}  // namespace
