// Process-wide state: the one lock, the list of open ports, the module handle
// and the shared-memory block counter.
#pragma once

#include <windows.h>

#include "core/port_session.h"
#include "core/scoped.h"

struct ProcessState {
    CRITICAL_SECTION monitorLock;
    PortSession* portList;
    HINSTANCE moduleInstance;
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

// The owner of a global-heap block of T.
template <typename T>
struct BlockKind {
    using Type = T*;
    static T* Empty() { return nullptr; }
    static void Close(T* block) { FreeBlock(block); }
};
template <typename T>
using UniqueBlock = Unique<BlockKind<T>>;

// Next block number counter value (incremented first, never loses counts).
u32 NextBlockCounter();
