// Other threads' use of a mutex, for tests of the code that waits on it.
#pragma once

#include <windows.h>

// What another thread finds when it tries the mutex at once; it gives the
// mutex back if it got it.
DWORD TryMutexFromAnotherThread(HANDLE mutex);

// True when another thread can take the mutex at once (nobody holds it).
bool MutexIsFree(HANDLE mutex);

// Owns a mutex on a thread of its own: until destroyed, for holdMs, or, with
// abandon, ends at once without releasing it (the mutex is then abandoned).
// The constructor returns once the mutex is held.
struct MutexHolder {
    HANDLE mutex;
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    bool abandon;
    DWORD holdMs;

    MutexHolder(HANDLE m, bool abandonIt = false, DWORD holdForMs = INFINITE);
    ~MutexHolder();
    MutexHolder(const MutexHolder&) = delete;
    MutexHolder& operator=(const MutexHolder&) = delete;

    // Waits until the holding thread has ended on its own.
    void join();
};
