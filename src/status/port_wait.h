// The port mutex as the status code takes it, and the port errors every
// status routine classifies the same way.
#pragma once

#include <windows.h>

#include "monitor/port_session.h"

enum class MutexWait { Owned, TimedOut, Failed };

// Waits for portMutex. A mutex left behind by an owner that ended counts as a
// failed wait; the ownership so gained is given back at once, so the next
// user does not wait on a mutex nobody will release.
inline MutexWait TakePortMutex(PortSession& session, DWORD milliseconds) {
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(session.portMutex), milliseconds);
    if (result == WAIT_OBJECT_0) return MutexWait::Owned;
    if (result == WAIT_TIMEOUT) return MutexWait::TimedOut;
    if (result == WAIT_ABANDONED) ReleaseMutex(static_cast<HANDLE>(session.portMutex));
    return MutexWait::Failed;
}

// Releases portMutex on every way out of the scope that took it.
struct PortMutexGuard {
    PortSession& session;
    ~PortMutexGuard() { ReleaseMutex(static_cast<HANDLE>(session.portMutex)); }
};

// Before a port monitor is asked again after a read or poll that brought
// nothing: one whose ReadPort returns at once when no data waits would
// otherwise keep a core busy for as long as the printer prints. Far below the
// poll time and every deadline, so no protocol step changes.
constexpr DWORD EMPTY_READ_PAUSE_MS = 5;
inline void PauseAfterEmptyRead() { Sleep(EMPTY_READ_PAUSE_MS); }

// A port call that failed with error: the state pair it leaves. Always false.
bool PortFailure(PortSession& session, DWORD error);
