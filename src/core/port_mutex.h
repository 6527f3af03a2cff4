// The port mutex, taken one way by every user of the port: the data path's
// writes, the USB status reads and polls, the port value requests, the status
// request, the pass-through requests and the job end.
#pragma once

#include <windows.h>

#include "core/cleanup.h"
#include "core/port_session.h"

enum class MutexWait { Owned, TimedOut, Failed };

// Waits for the mutex. One left behind by an owner that ended counts as a
// failed wait: its port's state is unknown. The ownership so gained is given
// back at once, so the next user does not wait on a mutex nobody will release.
inline MutexWait TakeMutex(Handle mutex, DWORD milliseconds) {
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(mutex), milliseconds);
    if (result == WAIT_OBJECT_0) return MutexWait::Owned;
    if (result == WAIT_TIMEOUT) return MutexWait::TimedOut;
    if (result == WAIT_ABANDONED) ReleaseMutex(static_cast<HANDLE>(mutex));
    return MutexWait::Failed;
}

inline MutexWait TakePortMutex(PortSession& session, DWORD milliseconds) {
    return TakeMutex(session.job.portMutex, milliseconds);
}

// Releases a mutex taken with TakeMutex on every way out of the scope.
inline auto ReleaseOnExit(Handle mutex) {
    return Cleanup([mutex] { ReleaseMutex(static_cast<HANDLE>(mutex)); });
}
