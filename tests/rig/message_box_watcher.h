// Sees this process's modal message boxes of one caption and, unless told
// not to, presses OK, so a test can check that one was shown without a user.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

struct MessageBoxWatcher {
    explicit MessageBoxWatcher(const char* caption, bool pressOk = true);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The texts of the boxes seen so far, in order.
    std::vector<std::string> texts();
    // Tick count when the first box was seen; 0 when none was.
    DWORD firstSeen() const { return firstSeenTick.load(); }

    // Whether a box of the caption is on the screen now.
    bool boxShown();

    std::string caption;
    bool pressOk;
    std::atomic<bool> stop{false};
    std::atomic<DWORD> firstSeenTick{0};
    std::mutex lock;
    std::vector<std::string> seen;
    HANDLE thread = nullptr;
};
