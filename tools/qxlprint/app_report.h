// The application's side of the transcript: every notification it received,
// its block decoded, its replies, and the progress per page.
#pragma once

#include <cstdint>
#include <vector>

#include "qxlprint/transcript.h"
#include "rig/statmon_log.h"

struct AppHeard {
    bool cancelled = false;       // it replied cancel
    std::uint32_t fatalCode = 0;  // the first class 3 notification, 0 if none
    bool jobEnd = false;
};

AppHeard ReportApplication(const Transcript& out, const std::vector<StatmonRecord>& records);
