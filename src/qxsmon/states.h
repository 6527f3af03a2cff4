// The state table: what each state notification means to the person at the
// printer, what to do about it, and how it is answered where nobody can see
// the window. Platform-free.
#pragma once

#include "core/platform.h"

enum class StateKind {
    Fixable,      // someone at the printer can clear it; the job waits for an answer
    WontClear,    // the job waits, but pressing Continue cannot help (wrong printer)
    Fatal,        // the job has stopped; nothing is awaited
};

struct StateText {
    u32 code;
    int headlineId;  // string ids in the resource script
    int adviceId;
    StateKind kind;
    bool generic;         // an unknown code: the headline shows it in hex
    bool namesJobMedia;   // the advice names the media the job asks for
};

// Class 2 or 3: a state the monitor reports.
bool IsStateNotification(u32 code);
// The table's entry; an unknown code gets its class's generic entry.
StateText LookUpState(u32 code);

struct PolicySettings {
    u32 delayMs;  // before Continue is answered
    u32 retries;  // Continue answers per job before the policy gives up and cancels
};

struct PolicyAnswer {
    u32 reply;    // 0: none
    u32 afterMs;
};

// The answer given without a person: continue after the delay for a state
// someone can fix, as long as retries remain; cancel for everything else.
PolicyAnswer HeadlessAnswer(u32 code, u32 continuesSoFar, const PolicySettings& settings);
