// The fault matrix as data: one case is one whole job through the real DLL
// with one fault, on one port kind. The generator makes every case from what a
// fault-free job of each kind does (its census), so no case is written out by hand.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "rig/fake_port_monitor.h"

// What the printer does wrong.
enum class PrinterFault {
    None,
    ErrorBeforePage,     // page 2's status reply carries an error bit (media empty)
    ErrorWhilePrinting,  // an error status while page 2 prints
    ErrorAfterLastPage,  // the printer is gone once the last page has printed
    CoverOpenThenClosed,
    MediaOutThenIn,
    SilentMidHandshake,  // page 2's print cycle never comes; the user cancels
    NeverQuiet,          // packets keep coming that answer nothing
};

struct FaultCase {
    std::string name;
    std::string port;
    bool multiCopy = false;  // a ':' job, rebuilt and printed at the job end

    // The port monitor: one rule on one operation, or EnumPorts failing at the open.
    bool portFault = false;
    PortOp op = PortOp::WritePort;
    FaultRule rule;
    bool enumPortsFails = false;

    PrinterFault printer = PrinterFault::None;

    // The application: its mode and script, and whether it can hear the job's outcome.
    std::string appMode = "normal";
    // The user continues after every error, and cancels a job that has not
    // ended a while after its first page end (a printer left silent).
    std::string appScript = "on error reply 1; on 0x50022 reply 3 after 15000 once";
    bool appHears = true;  // it can hear the job's outcome
    bool appExits = true;  // it exits at the job end (the monitor ends no other program)
    bool appCannotStart = false;

    // The system: the n-th allocation of the product, or the k-th call of a
    // file function, fails (0: none).
    int allocationFailsAt = 0;
    std::string fileFunction;
    int fileFailsAt = 0;
};

// What a fault-free job of one kind does; the generator's input.
struct Census {
    std::map<PortOp, size_t> calls;
    size_t allocations = 0;
    std::map<std::string, size_t> fileCalls;
};
using Censuses = std::map<std::string, Census>;  // by JobKey

// A job's kind: its port and whether it is a multi-copy job.
std::string JobKey(const std::string& port, bool multiCopy);
// The port of each port kind the matrix runs on.
const std::vector<std::string>& MatrixPorts();

// The port of a kind for a worker slot (1 to 9): jobs of workers side by side
// must not claim one port name, which they would wait for.
std::string PortForSlot(const std::string& port, int slot);

// The whole matrix, or a sample of it: every fault kind at least once, on
// port kinds in turn.
std::vector<FaultCase> GenerateCases(const Censuses& censuses, bool sample);

// Censuses travel to the worker processes in one line of text.
std::string EncodeCensuses(const Censuses& censuses);
Censuses DecodeCensuses(const std::string& text);
