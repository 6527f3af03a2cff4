// Runs a program the way a person runs it from a console, as an elevated
// administrator or as the same user without elevation, and keeps what it printed.
#pragma once

#include <windows.h>

#include <string>

struct ProgramRun {
    bool finished = false;  // false: it did not start, or was ended after the time limit
    DWORD exitCode = 0;
    std::string output;  // stdout and stderr, in the order written
};

// commandLine goes to CreateProcess as it stands. limited runs the program
// with the linked (non-elevated) token of the test's own elevated token.
ProgramRun RunProgram(const std::string& commandLine, bool limited = false,
                      DWORD timeoutMs = 30000);
