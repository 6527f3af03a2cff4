// The segments of the page in flight, kept for a resend, and the single-buffer
// page copy. Nodes and their data are zero-initialised global-heap blocks.
#pragma once

#include "core/port_session.h"

// Appends a copy of the bytes. On a failed allocation the whole list is
// released (the page's earlier segments are lost too) and FALSE returned.
bool StoreSegment(PortSession& session, const u8* data, u32 length);

// Frees every node and its data; pageFirst and pageLast become null.
void ReleaseSegments(PortSession& session);

// Replaces pageCopy by the list's segments joined in one buffer and sets
// PSF_PAUSED; FALSE (and no copy) when the memory cannot be had.
bool MakePageCopy(PortSession& session);

// Frees pageCopy once its page has printed. PSF_PAUSED stays as the
// application's last reply has set it.
void DiscardPageCopy(PortSession& session);

// Frees pageCopy and clears PSF_PAUSED (the job end).
void ReleasePageCopy(PortSession& session);
