// Notifications to the status monitor application and their shared-memory blocks.
#pragma once

#include "core/port_session.h"
#include "core/statmon_interface.h"

// Sends one WM_STATMON notification; with withBlock the data travels in a named
// mapping made for this message. FALSE (with (3, 0) and resetNeeded) when the
// application's window cannot be found or the block cannot be made.
bool SendNotify(PortSession& session, u32 code, const void* data, u32 size, bool withBlock);
inline bool SendNotify(PortSession& session, u32 code) {
    return SendNotify(session, code, nullptr, 0, false);
}

// WM_STATMON straight to the application's window, bounded: false when the
// window has gone or the application does not take the message in time.
bool SendToApplication(WindowHandle window, u32 code, u32 lParam);

bool SendJobStart(PortSession& session);
bool SendMediaSettings(PortSession& session);
bool SendMediaStatus(PortSession& session, const StatusPacket& packet);
bool SendProgress(PortSession& session, i16 kind);

// replyState, read under monitorLock.
u32 GetReplyState(PortSession& session);

// The number and name ("%08x.mmf") of the next shared-memory block of a job.
u32 NextBlockNumber(const PortSession& session);
void FormatBlockName(u32 blockNumber, char name[16]);
