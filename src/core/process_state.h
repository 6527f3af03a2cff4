// Process-wide state: the one lock, the list of open ports, the module handle,
// the last connect window's record and the shared-memory block counter.
#pragma once

#include <windows.h>

#include "core/port_session.h"

struct ProcessState {
    CRITICAL_SECTION monitorLock;
    PortSession* portList;
    HINSTANCE moduleInstance;
    PortSession* connectTarget;
    volatile LONG blockCounter;
};

extern ProcessState g_process;

void EnterMonitorLock();
void LeaveMonitorLock();

// Scoped hold of monitorLock.
class MonitorLockGuard {
public:
    MonitorLockGuard() { EnterMonitorLock(); }
    ~MonitorLockGuard() { LeaveMonitorLock(); }
    MonitorLockGuard(const MonitorLockGuard&) = delete;
    MonitorLockGuard& operator=(const MonitorLockGuard&) = delete;
};

// Zero-initialised global-heap copy of a text; null in, or no memory, gives null.
char* DuplicateText(const char* text);
void FreeText(char* text);

// Zero-initialised global-heap block; null when none can be had.
void* AllocZeroed(SIZE_T size);
void FreeBlock(void* block);

// Frees a global-heap block (null: nothing) when the scope ends, keeping the
// last error that the scope leaves for its caller.
struct HeapBlockGuard {
    void* block;
    explicit HeapBlockGuard(void* owned) : block(owned) {}
    ~HeapBlockGuard() {
        DWORD error = GetLastError();
        FreeBlock(block);
        SetLastError(error);
    }
    HeapBlockGuard(const HeapBlockGuard&) = delete;
    HeapBlockGuard& operator=(const HeapBlockGuard&) = delete;
};

// Next block number counter value (incremented first, never loses counts).
u32 NextBlockCounter();
