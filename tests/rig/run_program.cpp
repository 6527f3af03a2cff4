// Runs a program with its output captured, within a time limit.
#include "rig/run_program.h"

namespace {

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

// The primary token of the same user without elevation; null when the
// test's token has no linked token (it is not elevated itself).
HANDLE LimitedToken() {
    Handle own;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own.h)) return nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!GetTokenInformation(own.h, TokenLinkedToken, &linked, sizeof linked, &size))
        return nullptr;
    HANDLE primary = nullptr;
    DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                     TokenPrimary, &primary);
    CloseHandle(linked.LinkedToken);
    return primary;
}

void DrainPipe(HANDLE pipe, std::string& output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer < available ? sizeof buffer : available, &got,
                      nullptr) ||
            got == 0)
            return;
        output.append(buffer, got);
    }
}

}  // namespace

ProgramRun RunProgram(const std::string& commandLine, bool limited, DWORD timeoutMs) {
    ProgramRun run;
    Handle readEnd, writeEnd, token;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &inherit, 1 << 16)) return run;
    SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0);
    if (limited && !(token.h = LimitedToken())) return run;

    // Only the pipe goes to the program: a process that Wine starts from it
    // and keeps (the desktop, a console host) would otherwise hold the test
    // runner's own output open until the prefix shuts down.
    for (DWORD std : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        SetHandleInformation(GetStdHandle(std), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd.h;
    startup.hStdError = writeEnd.h;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    BOOL started = limited ? CreateProcessAsUserA(token.h, nullptr, line.data(), nullptr, nullptr,
                                                  TRUE, 0, nullptr, nullptr, &startup, &process)
                           : CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &process);
    if (!started) return run;
    Handle processHandle{process.hProcess}, threadHandle{process.hThread};
    CloseHandle(writeEnd.h);
    writeEnd.h = nullptr;

    // Read while waiting, so that a talkative program never blocks on a full pipe.
    DWORD start = GetTickCount();
    while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
        DrainPipe(readEnd.h, run.output);
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
            DrainPipe(readEnd.h, run.output);
            return run;
        }
    }
    DrainPipe(readEnd.h, run.output);
    run.finished = GetExitCodeProcess(process.hProcess, &run.exitCode) != FALSE;
    return run;
}
