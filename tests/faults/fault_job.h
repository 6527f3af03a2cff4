// One job of the fault matrix through the real DLL, judged by the invariants
// every job must keep whatever goes wrong.
#pragma once

#include <string>
#include <vector>

#include "faults/fault_case.h"
#include "rig/resources.h"

using Pages = std::vector<std::vector<u8>>;

struct JobVerdict {
    DWORD milliseconds = 0;
    Census census;  // what the job called
    Pages printed;  // what came out of the printer (kept for a reference run only)
    std::vector<std::string>
        broken;  // the broken invariants, one line each ("3 page 2 printed twice")
};

// Runs the case's job on the slot's port (1 to 9). With a reference (the
// fault-free job's printed pages) the job is judged; without, it is the
// reference run and only reports what it printed and called.
JobVerdict RunFaultJob(const FaultCase& c, int slot, const Pages* reference);

// The longest the product may take for any job of the matrix, with its bounds
// shortened as the test programs shorten them.
constexpr DWORD JOB_BOUND_MS = 45000;
