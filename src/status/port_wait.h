// What the status code does between tries, and the port errors every status
// routine classifies the same way.
#pragma once

#include <windows.h>

#include "core/port_mutex.h"

// Before a port monitor is asked again after a read or poll that brought
// nothing: one whose ReadPort returns at once when no data waits would
// otherwise keep a core busy for as long as the printer prints. Far below the
// poll time and every deadline, so no protocol step changes.
constexpr DWORD EMPTY_READ_PAUSE_MS = 10;
inline void PauseAfterEmptyRead() { Sleep(EMPTY_READ_PAUSE_MS); }

// Which status call of the port failed: the status request takes a "gone" port
// only on USB ports, and resets the printer only on a fatal error.
enum class FailedCall { StatusRead, StatusRequest };

// A port call that failed with error: the state pair it leaves. Always false.
bool PortFailure(PortSession& session, DWORD error, FailedCall call);
