// Worker processes of the fault matrix and the table of their results.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct CaseResult {
    size_t index = 0;  // in the generated list; concurrency checks use their own names
    std::string name;  // set for results that are not matrix cases
    bool passed = false;
    unsigned long milliseconds = 0;
    std::vector<std::string> broken;  // the broken invariants, one line each
};

// Runs the cases (indices into the generated list) in batches, at most jobs
// worker processes at a time. A worker that dies or hangs fails the case it
// was running, with what it said last; the rest of its batch goes to a new one.
std::vector<CaseResult> RunInWorkers(const std::vector<size_t>& cases, int batch, int jobs,
                                     bool sample);

// Prints cases, passed, failed, the slowest case and every failure; returns
// the program's exit status.
int PrintTable(const std::vector<CaseResult>& results,
               const std::function<std::string(size_t)>& nameOf);
