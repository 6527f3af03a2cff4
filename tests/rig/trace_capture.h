// What the monitor's diagnostic trace wrote: the lines of its trace file, or
// what a module sent to the debug output while captured.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rig/import_hook.h"

// Replaces the module's import of OutputDebugStringA while it lives and keeps
// every text it is given. One capture at a time.
struct DebugOutputCapture {
    explicit DebugOutputCapture(HMODULE module);
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    std::vector<std::string> texts() const;

    ImportHook hook;
};

// The file's lines, each with its end of line; empty when there is no file.
std::vector<std::string> ReadTraceLines(const std::string& path);

// The first step that no line holds after the line of the step before, or ""
// when the lines tell every step in order.
std::string MissingStep(const std::vector<std::string>& lines,
                        const std::vector<std::string>& steps);

// A fresh path in the temporary directory, with no file there.
std::string TempTracePath(const char* name);
