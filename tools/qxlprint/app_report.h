// The application's side of the transcript, record by record as its log
// grows: every notification it received with its block decoded, its replies,
// and at the end the progress per page.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "qxlprint/transcript.h"
#include "qxlprint/vocabulary.h"
#include "rig/statmon_log.h"

struct AppHeard {
    bool cancelled = false;       // it replied cancel
    std::uint32_t fatalCode = 0;  // the first class 3 notification, 0 if none
    bool jobEnd = false;
};

struct AppReporter {
    explicit AppReporter(const Transcript& transcript) : out(transcript) {}

    // One record of the stand-in's log, ms after the job began.
    void record(const StatmonRecord& r, unsigned long ms);
    // "(no notification)" when none came, then the progress of each page.
    void finish();

    const Transcript& out;
    AppHeard heard;
    int notifications = 0;
    std::map<std::uint32_t, std::string> progress;  // page: " 0 50 100"
    size_t states = 0;  // state notifications so far; lastState is the last
    StateWords lastState{};
};
