// The state table and the headless policy.
#include "qxsmon/states.h"

#include "qxsmon/resource.h"
#include "core/statmon_interface.h"
#include "core/status_packet.h"

namespace {

constexpr StateText STATES[] = {
    {0x20001, IDS_MEDIA_EMPTY, IDS_MEDIA_EMPTY_ADVICE, StateKind::Fixable, false, false},
    {0x20005, IDS_COVER_OPEN, IDS_COVER_OPEN_ADVICE, StateKind::Fixable, false, false},
    {0x3000C, IDS_CUTTER_JAM, IDS_CUTTER_JAM_ADVICE, StateKind::Fatal, false, false},
    {0x20013, IDS_BATTERY_LOW, IDS_BATTERY_LOW_ADVICE, StateKind::Fixable, false, false},
    {0x20031, IDS_PRINTER_BUSY, IDS_PRINTER_BUSY_ADVICE, StateKind::Fixable, false, false},
    {0x30018, IDS_HARDWARE_FAULT, IDS_HARDWARE_FAULT_ADVICE, StateKind::Fatal, false, false},
    {0x20008, IDS_FEED_JAM, IDS_FEED_JAM_ADVICE, StateKind::Fixable, false, false},
    {0x2000D, IDS_ROLL_ENDED, IDS_ROLL_ENDED_ADVICE, StateKind::Fixable, false, false},
    {0x20009, IDS_BUFFER_FULL, IDS_BUFFER_FULL_ADVICE, StateKind::Fixable, false, false},
    {0x3001B, IDS_TRANSFER_ERROR, IDS_TRANSFER_ERROR_ADVICE, StateKind::Fatal, false, false},
    {0x20014, IDS_HEAD_HOT, IDS_HEAD_HOT_ADVICE, StateKind::Fixable, false, false},
    {0x20016, IDS_FEED_ERROR, IDS_FEED_ERROR_ADVICE, StateKind::Fixable, false, false},
    {0x30063, IDS_PRINTER_STOPPED, IDS_PRINTER_STOPPED_ADVICE, StateKind::Fatal, false, false},
    {0x20015, IDS_WRONG_PRINTER, IDS_WRONG_PRINTER_ADVICE, StateKind::WontClear, false, false},
    {0x2000F, IDS_WRONG_MEDIA, IDS_WRONG_MEDIA_ADVICE, StateKind::Fixable, false, true},
    {0x20010, IDS_WRONG_MEDIA_KIND, IDS_WRONG_MEDIA_KIND_ADVICE, StateKind::Fixable, false, true},
    {0x2001A, IDS_NOT_RESPONDING, IDS_NOT_RESPONDING_ADVICE, StateKind::Fixable, false, false},
    {0x3001C, IDS_PORT_FAILED, IDS_PORT_FAILED_ADVICE, StateKind::Fatal, false, false},
    {NotifySystemError, IDS_SYSTEM_ERROR, IDS_SYSTEM_ERROR_ADVICE, StateKind::Fatal, false, false},
};

u32 ClassOf(u32 code) { return code >> 16; }

}  // namespace

bool IsStateNotification(u32 code) {
    return ClassOf(code) == static_cast<u32>(STATE_ERROR) ||
           ClassOf(code) == static_cast<u32>(STATE_FATAL);
}

StateText LookUpState(u32 code) {
    for (const StateText& state : STATES) {
        if (state.code == code) return state;
    }
    // The monitor says by the class whether the job waits for an answer.
    if (ClassOf(code) == static_cast<u32>(STATE_ERROR))
        return {code, IDS_UNKNOWN_ERROR, IDS_UNKNOWN_ERROR_ADVICE, StateKind::Fixable, true, false};
    return {code, IDS_UNKNOWN_FATAL, IDS_UNKNOWN_FATAL_ADVICE, StateKind::Fatal, true, false};
}

PolicyAnswer HeadlessAnswer(u32 code, u32 continuesSoFar, const PolicySettings& settings) {
    if (!IsStateNotification(code)) return {0, 0};
    if (LookUpState(code).kind == StateKind::Fixable && continuesSoFar < settings.retries)
        return {REPLY_CONTINUE, settings.delayMs};
    return {REPLY_CANCEL, 0};
}
