// The rebuild of a spooled multi-copy job into the command stream that is
// sent for it: every page as often as the job asks, in its page and copy
// order, each behind a generated job information block.
#pragma once

#include "core/platform.h"

// Where the rebuilt stream goes and where the rebuild's buffers come from, so
// that the same core writes to a file under Win32 and to memory in tests.
struct RebuildIo {
    void* context;
    // Writes length (> 0) bytes; false on failure.
    bool (*write)(void* context, const u8* data, u32 length);
    // A zero-filled block of size (> 0) bytes; null when none can be had.
    void* (*allocate)(void* context, u32 size);
    void (*release)(void* context, void* block);
};

// Raster data up to this size is sent once per page; further copies of the
// page are its control commands and a form feed.
constexpr u32 REPRINT_RASTER_LIMIT = 32517;

// Rebuilds the job in image (the whole spool file, size bytes). The uncollated
// orders patch the pages' cut bits in image itself. The output's last byte is
// always the end-of-job byte 0x1A; with no page it is that single byte.
// True when the whole job was written. False, having written nothing, when
// the image is not whole valid records or an index array cannot be had, and
// false part way through when a control buffer cannot be had or a write
// fails; the job is then not to be printed.
bool RebuildJobImage(u8* image, u32 size, const RebuildIo* io);
