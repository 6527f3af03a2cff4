// The status monitor application stand-in (QXSMON.EXE) as tests see it: its
// environment, set before a launch, and its log, read while it runs.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/platform.h"

// One line of the stand-in's log.
struct StatmonRecord {
    u32 processId = 0;
    u32 tick = 0;              // GetTickCount when the stand-in wrote the line
    std::string event;         // "start", "window", "notify", "reply", "closing", "exit", ...
    u32 code = 0;              // notify: wParam; reply: the state
    u32 lParam = 0;            // notify
    bool hasBlock = false;     // notify with one of the four block codes
    bool blockOpened = false;  // the block could be opened by its name
    std::string blockName;
    std::vector<u8> block;  // exactly as large as the section
    std::string line;
};

std::vector<StatmonRecord> ReadStatmonLog(const std::string& path);
// Only the notify records, in order.
std::vector<StatmonRecord> Notifications(const std::vector<StatmonRecord>& records);
std::vector<u32> NotifyCodes(const std::vector<StatmonRecord>& records);

// Opens the block of that number by name and reads it whole (as large as the
// section allows); false when no such block exists.
bool ReadSharedBlock(u32 number, std::vector<u8>& bytes);

// Sets the stand-in's environment (inherited through the monitor's
// CreateProcess) for one test, with a fresh log file; restores it afterwards.
struct StatmonEnvironment {
    explicit StatmonEnvironment(const std::string& mode = "normal", const std::string& script = "",
                                const std::string& lifetimeMs = "60000");
    ~StatmonEnvironment();
    StatmonEnvironment(const StatmonEnvironment&) = delete;
    StatmonEnvironment& operator=(const StatmonEnvironment&) = delete;

    std::vector<StatmonRecord> records() const { return ReadStatmonLog(logPath); }
    // Polls the log until pred holds or timeoutMs passes; returns the last read.
    template <typename Pred>
    std::vector<StatmonRecord> waitFor(Pred pred, DWORD timeoutMs = 10000) const {
        DWORD start = GetTickCount();
        for (;;) {
            auto got = records();
            if (pred(got) || GetTickCount() - start > timeoutMs) return got;
            Sleep(20);
        }
    }

    std::string logPath;
};
