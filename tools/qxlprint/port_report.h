// The printer's side of the transcript, call by call as the port monitor
// stand-in records them: the port's writes grouped by what they carry, the
// status packets decoded, and at the end the totals.
#pragma once

#include <map>
#include <vector>

#include "qxlprint/transcript.h"
#include "qxlprint/vocabulary.h"
#include "rig/fake_port_monitor.h"

struct PortReporter {
    // page: what the job's pages ask of the media, for the status replies' decode.
    PortReporter(const Transcript& transcript, const PageChecks& page)
        : out(transcript), checks(page) {}

    // One call of the port monitor, ms after the job began.
    void call(const PortCall& call, unsigned long ms);
    // Nothing more came for a while: the page data written so far is shown.
    void quiet() { flushData(false); }
    // The page data not yet shown, and the totals.
    void finish();

    const Transcript& out;
    const PageChecks checks;
    size_t states = 0;  // status replies and error statuses decoded; lastState is the last
    StateWords lastState{};

private:
    void flushData(bool endsPage);
    void write(const PortCall& call);
    void read(const PortCall& call);
    void other(const PortCall& call);

    size_t groupWrites = 0, groupBytes = 0, pagesEnded = 0, emptyReads = 0, bytes = 0;
    unsigned long groupMs = 0;       // when the group's last write came
    unsigned long now = 0;           // the call being reported
    std::map<u32, size_t> controls;  // GetPrinterDataFromPort by control id
    std::vector<u8> fromPrinter;     // read bytes not yet cut into packets
};
