// Process-wide state and the text helpers every part uses.
#include "core/process_state.h"
#include "core/ticks.h"

#include <cstring>

ProcessState g_process;

void EnterMonitorLock() { EnterCriticalSection(&g_process.monitorLock); }

void LeaveMonitorLock() { LeaveCriticalSection(&g_process.monitorLock); }

void* AllocZeroed(SIZE_T size) { return GlobalAlloc(GPTR, size); }

void FreeBlock(void* block) {
    if (block != nullptr) GlobalFree(block);
}

char* DuplicateText(const char* text) {
    if (text == nullptr) return nullptr;
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(AllocZeroed(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length);
    return copy;
}

void FreeText(char* text) { FreeBlock(text); }

u32 NextBlockCounter() { return static_cast<u32>(InterlockedIncrement(&g_process.blockCounter)); }

namespace {
u32 SystemTicks() { return GetTickCount(); }
TickSource g_tickSource = SystemTicks;
}  // namespace

u32 TickNow() { return g_tickSource(); }

TickSource SetTickSource(TickSource source) {
    TickSource old = g_tickSource;
    g_tickSource = source != nullptr ? source : SystemTicks;
    return old;
}
