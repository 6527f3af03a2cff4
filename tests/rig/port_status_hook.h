// The spooler's SetPort as the monitor calls it, caught in a module's import
// table (the loaded DLL's, or the test program's with the monitor linked in)
// for the whole process: every call recorded (port name, level, the
// PORT_INFO_3) and answered as a test wants (a failure, a slow spooler).
// Wine's own SetPort is a stub that ends the process, so the monitor is told
// (QXLMON_TEST_SETPORT) only where this recorder stands in for it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct PortStatusCall {
    bool local = false;  // the server name was null: this machine's spooler
    std::string port;
    DWORD level = 0;
    DWORD status = 0;
    bool hasText = false;
    std::string text;
    DWORD severity = 0;
    DWORD tick = 0;

    bool cleared() const { return status == 0 && !hasText && severity == 0; }
};

// Replaces module's SetPortW import once; true when it is (or was) replaced.
bool CatchSetPort(HMODULE module);

struct SetPortAnswer {
    DWORD failWith = 0;  // non-zero: every call fails with this last error
    DWORD delayMs = 0;   // every call takes this long
};
// How the calls from now on are answered; restored to plain success at the
// end of the scope.
struct SetPortAnswerScope {
    explicit SetPortAnswerScope(SetPortAnswer answer);
    ~SetPortAnswerScope();
};

// The calls for one port so far, in order.
std::vector<PortStatusCall> SetPortCalls(const std::string& port);
// Whether a call is under way now.
bool SetPortBusy();
