// The trace: one WriteFile per line on an append handle, so that lines of the
// monitor and of other instances in the same file never mix.
#include "qxsmon/trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr size_t HELD_LINES_LIMIT = 64;

struct TraceState {
    bool decided = false;  // the settings are known
    bool on = false;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::vector<std::string> held;
};

TraceState g_trace;

void Emit(const std::string& line) {
    if (g_trace.file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(g_trace.file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        OutputDebugStringA(line.c_str());
    }
}

}  // namespace

void StartTrace(const AppSettings& settings) {
    if (g_trace.decided) return;
    g_trace.decided = true;
    g_trace.on = settings.trace;
    if (g_trace.on && !settings.traceFile.empty()) {
        g_trace.file = CreateFileA(settings.traceFile.c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (g_trace.on) {
        for (const std::string& line : g_trace.held) Emit(line);
    }
    g_trace.held.clear();
}

void Trace(const char* format, ...) {
    if (g_trace.decided && !g_trace.on) return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "QXSMON %lu %lu ", GetCurrentProcessId(), GetTickCount());
    std::string line = std::string(prefix) + text + "\r\n";
    if (!g_trace.decided) {
        if (g_trace.held.size() < HELD_LINES_LIMIT) g_trace.held.push_back(line);
        return;
    }
    Emit(line);
}

void EndTrace() {
    if (g_trace.file != INVALID_HANDLE_VALUE) CloseHandle(g_trace.file);
    g_trace.file = INVALID_HANDLE_VALUE;
}
