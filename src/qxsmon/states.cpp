// The states' texts and the headless policy.
#include "qxsmon/states.h"

#include "qxsmon/resource.h"
#include "core/statmon_interface.h"

StateText LookUpState(u32 code) {
    const PrinterState* state = FindPrinterState(code);
    if (state != nullptr && state->headlineId != 0)
        return {code, state->headlineId, state->adviceId, state->kind, false, state->namesJobMedia};
    // The monitor says by the class whether the job waits for an answer.
    if (NotifyClass(code) == NOTIFY_CLASS_ERROR)
        return {code, IDS_UNKNOWN_ERROR, IDS_UNKNOWN_ERROR_ADVICE, StateKind::Fixable, true, false};
    return {code, IDS_UNKNOWN_FATAL, IDS_UNKNOWN_FATAL_ADVICE, StateKind::Fatal, true, false};
}

PolicyAnswer HeadlessAnswer(u32 code, u32 continuesSoFar, const PolicySettings& settings) {
    if (!IsStateNotification(code)) return {0, 0};
    if (LookUpState(code).kind == StateKind::Fixable && continuesSoFar < settings.retries)
        return {REPLY_CONTINUE, settings.delayMs};
    return {REPLY_CANCEL, 0};
}
