// What each state notification means to the person at the printer (the
// monitor's state table with this program's strings), and how it is answered
// where nobody can see the window. Platform-free.
#pragma once

#include "core/printer_states.h"

struct StateText {
    u32 code;
    int headlineId;  // string ids in the resource script
    int adviceId;
    StateKind kind;      // Fixable, WontClear or Fatal
    bool generic;        // an unknown code: the headline shows it in hex
    bool namesJobMedia;  // the advice names the media the job asks for
};

// The state's texts; an unknown code gets its class's generic entry.
StateText LookUpState(u32 code);

struct PolicySettings {
    u32 delayMs;  // before Continue is answered
    u32 retries;  // Continue answers per job before the policy gives up and cancels
};

struct PolicyAnswer {
    u32 reply;  // 0: none
    u32 afterMs;
};

// The answer given without a person: continue after the delay for a state
// someone can fix, as long as retries remain; cancel for everything else.
PolicyAnswer HeadlessAnswer(u32 code, u32 continuesSoFar, const PolicySettings& settings);
