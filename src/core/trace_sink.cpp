// The trace's switch and sink: the driver's values, the record's trace file or
// the debug output, and the process's switch for ports opened later.
#include "core/trace_sink.h"

#include <cstdarg>
#include <cstring>

#include "core/cleanup.h"
#include "core/port_monitor.h"
#include "core/trace.h"

namespace {

// Guards the process's switch and every record's trace file, so that the
// spooler's thread and a connect thread never write through a handle the
// other is closing. Nothing else is ever taken while it is held.
SRWLOCK g_traceLock = SRWLOCK_INIT;
TraceSettings g_processTrace;

// Held until the scope ends.
auto LockTrace() {
    AcquireSRWLockExclusive(&g_traceLock);
    return Cleanup([] { ReleaseSRWLockExclusive(&g_traceLock); });
}

// A quiet read leaves the readers' timed-out marker (2,-1), which the wait
// loop clears to (0,0) at once and never reports; showing both would only
// double every read that found nothing. Changes are shown from the pair the
// trace showed last, so that the lines read as one story.
void TraceStateChange(PortSession& session, i16 stateClass, i16 stateCode) {
    bool quietRead = (stateClass == STATE_ERROR && stateCode == CODE_TIMED_OUT) ||
                     (stateClass == STATE_NONE && stateCode == 0);
    TraceState& trace = session.trace;
    if (quietRead || (trace.shownClass == stateClass && trace.shownCode == stateCode)) return;
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "state: ");
    TraceAppendState(line, trace.shownClass, trace.shownCode);
    TraceAppend(line, " -> ");
    TraceAppendState(line, stateClass, stateCode);
    trace.shownClass = stateClass;
    trace.shownCode = stateCode;
    TraceWriteLine(session, line);
}

// One write per line, under the trace lock. A file that refuses a line is
// given up; the record's lines go to the debug output from then on.
void WriteUnderLock(PortSession& session, const TraceLine& line) {
    if (session.trace.file != nullptr) {
        DWORD written = 0;
        if (WriteFile(static_cast<HANDLE>(session.trace.file), line.text, line.length, &written,
                      nullptr) &&
            written == line.length)
            return;
        CloseHandle(static_cast<HANDLE>(session.trace.file));
        session.trace.file = nullptr;
    }
    OutputDebugStringA(line.text);
}

// Before any other line: how often the last failure came again unwritten.
void FlushRepeatsUnderLock(PortSession& session) {
    TraceState& trace = session.trace;
    if (trace.failedRepeats != 0) {
        TraceLine line;
        TraceStartLine(line, session);
        TraceAppend(line, "port monitor's %s failed %u more times, ", trace.failedCall,
                    static_cast<unsigned>(trace.failedRepeats));
        TraceAppendError(line, trace.failedError);
        TraceFinish(line);
        WriteUnderLock(session, line);
    }
    trace.failedCall = nullptr;
    trace.failedRepeats = 0;
}

void CloseTraceFile(PortSession& session) {
    if (session.trace.file != nullptr) CloseHandle(static_cast<HANDLE>(session.trace.file));
    session.trace.file = nullptr;
}

// Every write goes to the end of the file, so that lines of several ports,
// threads and processes never overwrite one another. Shared for reading,
// writing and deleting, so that the file can be read or removed while traced.
// Under the trace lock.
void SwitchTrace(PortSession& session, const TraceSettings& settings) {
    if (session.trace.on) FlushRepeatsUnderLock(session);
    CloseTraceFile(session);
    session.trace = TraceState{};
    session.trace.on = settings.on != 0;
    session.trace.shownClass = session.stateClass;
    session.trace.shownCode = session.stateCode;
    if (!session.trace.on) return;
    g_stateTraceHook = TraceStateChange;
    if (settings.file[0] == '\0') return;
    HANDLE file = CreateFileA(settings.file, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) session.trace.file = file;
}

// A file named but not opened is said once, on the debug output where the
// lines then go; it is tried again only at the next job start.
void SayFileRefused(PortSession& session, const TraceSettings& settings, DWORD error) {
    if (!session.trace.on || settings.file[0] == '\0' || session.trace.file != nullptr) return;
    TraceLine line;
    TraceStartLine(line, session);
    TraceAppend(line, "trace file \"%s\" cannot be opened: ", settings.file);
    TraceAppendError(line, error);
    TraceAppend(line, "; lines go to the debug output");
    TraceWriteLine(session, line);
}

}  // namespace

void ReadTraceFile(HKEY settingsKey, TraceSettings& settings) {
    char value[TRACE_PATH_SIZE + 1] = {};  // one spare byte keeps it terminated
    DWORD type = 0;
    DWORD size = TRACE_PATH_SIZE;
    if (RegQueryValueExA(settingsKey, "TraceFile", nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS)
        return;
    if (type == REG_SZ) {
        std::memcpy(settings.file, value, sizeof settings.file - 1);
    } else if (type == REG_EXPAND_SZ) {
        DWORD length = ExpandEnvironmentStringsA(value, settings.file, sizeof settings.file);
        if (length == 0 || length > sizeof settings.file) settings.file[0] = '\0';
    }
}

void StartTrace(PortSession& session, const TraceSettings& settings) {
    KeepLastError keep;
    DWORD openError = 0;
    {
        auto lock = LockTrace();
        g_processTrace = settings;
        if (!session.trace.on && !settings.on) return;
        SwitchTrace(session, settings);
        openError = GetLastError();
    }
    SayFileRefused(session, settings, openError);
}

void InheritTrace(PortSession& session) {
    KeepLastError keep;
    TraceSettings settings;
    DWORD openError = 0;
    {
        auto lock = LockTrace();
        if (!g_processTrace.on) return;
        settings = g_processTrace;
        SwitchTrace(session, settings);
        openError = GetLastError();
    }
    SayFileRefused(session, settings, openError);
}

void TraceStartLine(TraceLine& line, const PortSession& session) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    TraceTime time{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
    TraceBegin(line, time, GetCurrentThreadId(), session.portName);
}

void TraceWriteLine(PortSession& session, TraceLine& line) {
    TraceFinish(line);
    auto lock = LockTrace();
    FlushRepeatsUnderLock(session);
    WriteUnderLock(session, line);
}

void TraceHold(PortSession& session, TraceLine& line, HeldTraceLine& held) {
    TraceFinish(line);
    held.line = line;
    held.due = true;
    auto lock = LockTrace();
    HANDLE process = GetCurrentProcess();
    HANDLE file = static_cast<HANDLE>(session.trace.file);
    if (file != nullptr &&
        !DuplicateHandle(process, file, process, &held.file, 0, FALSE, DUPLICATE_SAME_ACCESS))
        held.file = nullptr;
}

void TraceWriteHeld(HeldTraceLine& held) {
    if (!held.due) return;
    KeepLastError keep;
    DWORD written = 0;
    if (held.file == nullptr ||
        !WriteFile(held.file, held.line.text, held.line.length, &written, nullptr))
        OutputDebugStringA(held.line.text);
    if (held.file != nullptr) CloseHandle(held.file);
    held.file = nullptr;
    held.due = false;
}

bool TraceRepeatedFailure(PortSession& session, const char* call, u32 error) {
    auto lock = LockTrace();
    TraceState& trace = session.trace;
    if (trace.failedCall == nullptr || std::strcmp(trace.failedCall, call) != 0 ||
        trace.failedError != error)
        return false;
    ++trace.failedRepeats;
    return true;
}

void TraceWriteFailureLine(PortSession& session, const char* call, u32 error, TraceLine& line) {
    TraceFinish(line);
    auto lock = LockTrace();
    FlushRepeatsUnderLock(session);
    WriteUnderLock(session, line);
    session.trace.failedCall = call;
    session.trace.failedError = error;
}

void TraceSay(PortSession& session, const char* format, ...) {
    KeepLastError keep;
    TraceLine line;
    TraceStartLine(line, session);
    va_list arguments;
    va_start(arguments, format);
    TraceAppendV(line, format, arguments);
    va_end(arguments);
    TraceWriteLine(session, line);
}

void TraceAppendError(TraceLine& line, u32 error) {
    if (error == PORTERR_FATAL || error == PORTERR_GONE) {
        TraceAppend(line, "error 0x%08x (port %s)", static_cast<unsigned>(error),
                    error == PORTERR_FATAL ? "fatal" : "gone");
        return;
    }
    if (error > 0xFFFF)
        TraceAppend(line, "error 0x%08x", static_cast<unsigned>(error));
    else
        TraceAppend(line, "error %u", static_cast<unsigned>(error));
    char text[128] = {};
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
        nullptr, error, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '.' ||
                          text[length - 1] == '\r' || text[length - 1] == '\n'))
        text[--length] = '\0';
    for (DWORD i = 0; i < length; ++i) {
        if (text[i] == '\r' || text[i] == '\n') text[i] = ' ';
    }
    if (length > 0) TraceAppend(line, " (%s)", text);
}

void TraceLastLine(PortSession& session, TraceLine& line) {
    TraceWriteLine(session, line);
    auto lock = LockTrace();
    CloseTraceFile(session);
    session.trace.on = false;
}
