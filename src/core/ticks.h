// The millisecond tick count, with a seam for tests that start near its wrap.
#pragma once

#include "core/platform.h"

using TickSource = u32 (*)();

u32 TickNow();
// Replaces the tick source (null restores the system's); returns the old one.
TickSource SetTickSource(TickSource source);

// A deadline passed when more than length ms have elapsed since start. The
// subtraction is unsigned, so the counter's wrap does not end waits early.
inline bool DeadlinePassed(u32 start, u32 length, u32 now) { return now - start > length; }
inline bool DeadlinePassed(u32 start, u32 length) {
    return DeadlinePassed(start, length, TickNow());
}
