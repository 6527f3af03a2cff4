// Progress of a page as the status monitor application is told it.
#pragma once

#include "core/port_session.h"

struct ProgressReport {
    bool send;
    u16 page;
    u16 percent;
};

// What to report at a segment end of the given kind; updates lastPercent when a
// running percentage is reported.
ProgressReport ComputeProgress(const JobInfoBlock& info, u32 pageBytesSent, i16& lastPercent,
                               i16 kind);
