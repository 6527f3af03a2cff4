// Jobs side by side and jobs without end: four ports printing at once in one
// process, two processes claiming one port, and the soak.
#pragma once

#include <string>
#include <vector>

#include "faults/workers.h"

// Four ports at once and the port claimed by two processes; one result each.
std::vector<CaseResult> RunConcurrencyChecks();

// The second process of the port claim: opens the port, prints a job, and
// says when its first write reached the port.
int SamePortSecondProcess(const std::string& port);

// jobs jobs back to back on one open port, then cycles jobs each with its own
// open and close; prints the process's figures and fails on growth.
int RunSoak(int jobs, int cycles);
