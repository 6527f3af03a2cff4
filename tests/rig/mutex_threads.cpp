// Threads that hold or try a mutex for the tests.
#include "rig/mutex_threads.h"

namespace {

DWORD WINAPI HoldMutex(void* parameter) {
    auto* holder = static_cast<MutexHolder*>(parameter);
    WaitForSingleObject(holder->mutex, INFINITE);
    SetEvent(holder->taken);
    if (holder->abandon) return 0;
    WaitForSingleObject(holder->release, holder->holdMs);
    ReleaseMutex(holder->mutex);
    return 0;
}

DWORD WINAPI TryMutex(void* parameter) {
    HANDLE mutex = static_cast<HANDLE>(parameter);
    DWORD result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
    return result;
}

}  // namespace

MutexHolder::MutexHolder(HANDLE m, bool abandonIt, DWORD holdForMs)
    : mutex(m), abandon(abandonIt), holdMs(holdForMs) {
    thread = CreateThread(nullptr, 0, HoldMutex, this, 0, nullptr);
    WaitForSingleObject(taken, 5000);
    if (abandon) join();
}

void MutexHolder::join() {
    if (thread == nullptr) return;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
}

MutexHolder::~MutexHolder() {
    SetEvent(release);
    join();
    CloseHandle(taken);
    CloseHandle(release);
}

DWORD TryMutexFromAnotherThread(HANDLE mutex) {
    HANDLE thread = CreateThread(nullptr, 0, TryMutex, mutex, 0, nullptr);
    WaitForSingleObject(thread, 5000);
    DWORD result = 0;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    return result;
}

bool MutexIsFree(HANDLE mutex) { return TryMutexFromAnotherThread(mutex) == WAIT_OBJECT_0; }
