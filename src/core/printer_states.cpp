// The state table.
#include "core/printer_states.h"

#include "core/state_texts.h"

namespace {

// The printer's error bits (errorInfo1, errorInfo2) become these pairs in
// status/decode.cpp; the rest are the monitor's own.
constexpr PrinterState STATES[] = {
    {STATE_NONE, 0, "none", "", StateKind::Internal, 0, 0, 0, false},
    {STATE_READY, 0, "ready", "Ready", StateKind::Internal, 0, 0, 0, false},
    {STATE_ERROR, CODE_TIMED_OUT, "read timed out", "", StateKind::Internal, 0, 0, 0, false},
    {STATE_FATAL, 0, "stop", "", StateKind::Internal, 0, 0, 0, false},
    {STATE_ERROR, CODE_NO_MEDIA, "no media", "No media", StateKind::Fixable, PORT_STATE_PAPER_OUT,
     IDS_MEDIA_EMPTY, IDS_MEDIA_EMPTY_ADVICE, false},
    {STATE_ERROR, CODE_MEDIA_ENDED, "end of media", "End of media", StateKind::Fixable,
     PORT_STATE_PAPER_OUT, IDS_MEDIA_ENDED, IDS_MEDIA_ENDED_ADVICE, false},
    {STATE_FATAL, CODE_CUTTER_JAM, "cutter jam", "Cutter jammed", StateKind::Fatal,
     PORT_STATE_PAPER_JAM, IDS_CUTTER_JAM, IDS_CUTTER_JAM_ADVICE, false},
    {STATE_ERROR, CODE_BATTERIES_WEAK, "batteries weak", "Batteries weak", StateKind::Fixable,
     PORT_STATE_SAID_BY_TEXT, IDS_BATTERIES_WEAK, IDS_BATTERIES_WEAK_ADVICE, false},
    {STATE_ERROR, CODE_PRINTER_IN_USE, "printer in use", "Printer in use", StateKind::Fixable,
     PORT_STATE_SAID_BY_TEXT, IDS_PRINTER_IN_USE, IDS_PRINTER_IN_USE_ADVICE, false},
    {STATE_FATAL, CODE_POWER_FAULT, "power adapter fault", "Power adapter fault", StateKind::Fatal,
     PORT_STATE_SAID_BY_TEXT, IDS_POWER_FAULT, IDS_POWER_FAULT_ADVICE, false},
    {STATE_ERROR, CODE_LABELS_JAMMED, "labels jammed", "Labels jammed", StateKind::Fixable,
     PORT_STATE_PAPER_JAM, IDS_LABELS_JAMMED, IDS_LABELS_JAMMED_ADVICE, false},
    {STATE_ERROR, CODE_REPLACE_MEDIA, "media to be replaced", "Replace the media",
     StateKind::Fixable, PORT_STATE_PAPER_PROBLEM, IDS_REPLACE_MEDIA, IDS_REPLACE_MEDIA_ADVICE,
     false},
    {STATE_ERROR, CODE_BUFFER_FULL, "buffer full", "Printer memory full", StateKind::Fixable,
     PORT_STATE_SAID_BY_TEXT, IDS_BUFFER_FULL, IDS_BUFFER_FULL_ADVICE, false},
    {STATE_FATAL, CODE_COMM_ERROR, "communication error", "Communication error", StateKind::Fatal,
     PORT_STATE_SAID_BY_TEXT, IDS_COMM_ERROR, IDS_COMM_ERROR_ADVICE, false},
    {STATE_ERROR, CODE_COVER_OPEN, "cover open", "Cover open", StateKind::Fixable,
     PORT_STATE_DOOR_OPEN, IDS_COVER_OPEN, IDS_COVER_OPEN_ADVICE, false},
    {STATE_ERROR, CODE_MEDIA_NOT_FED, "media not fed", "Media cannot be fed", StateKind::Fixable,
     PORT_STATE_PAPER_JAM, IDS_MEDIA_NOT_FED, IDS_MEDIA_NOT_FED_ADVICE, false},
    {STATE_FATAL, CODE_ERROR_STATUS, "error status", "Printer error", StateKind::Fatal,
     PORT_STATE_SAID_BY_TEXT, IDS_PRINTER_STOPPED, IDS_PRINTER_STOPPED_ADVICE, false},
    {STATE_ERROR, CODE_WRONG_PRINTER, "wrong printer", "Wrong printer", StateKind::WontClear,
     PORT_STATE_SAID_BY_TEXT, IDS_WRONG_PRINTER, IDS_WRONG_PRINTER_ADVICE, false},
    {STATE_ERROR, CODE_MEDIA_MISMATCH, "media mismatch", "Wrong media", StateKind::Fixable,
     PORT_STATE_PAPER_PROBLEM, IDS_WRONG_MEDIA, IDS_WRONG_MEDIA_ADVICE, true},
    {STATE_ERROR, CODE_MEDIA_TYPE_9, "media type mismatch", "Wrong kind of media",
     StateKind::Fixable, PORT_STATE_PAPER_PROBLEM, IDS_WRONG_MEDIA_KIND,
     IDS_WRONG_MEDIA_KIND_ADVICE, true},
    {STATE_ERROR, CODE_COMM_FAILURE, "communication failure", "Not responding", StateKind::Fixable,
     PORT_STATE_OFFLINE, IDS_NOT_RESPONDING, IDS_NOT_RESPONDING_ADVICE, false},
    {STATE_FATAL, CODE_PORT_FATAL, "port failure", "Port failure", StateKind::Fatal,
     PORT_STATE_OFFLINE, IDS_PORT_FAILED, IDS_PORT_FAILED_ADVICE, false},
    {STATE_FATAL, CODE_SYSTEM_ERROR, "system error", "System error", StateKind::Fatal,
     PORT_STATE_SAID_BY_TEXT, IDS_SYSTEM_ERROR, IDS_SYSTEM_ERROR_ADVICE, false},
    {STATE_GONE, 0, "printer gone", "Printer off or gone", StateKind::Gone, PORT_STATE_OFFLINE, 0,
     0, false},
    {STATE_NOTICE, CODE_PRINTER_NOTICE, "printer notice", "Printer notice", StateKind::Notice,
     PORT_STATE_SAID_BY_TEXT, 0, 0, false},
};

}  // namespace

const PrinterState* FindPrinterState(i16 stateClass, i16 stateCode) {
    for (const PrinterState& state : STATES) {
        if (state.stateClass == stateClass && state.stateCode == stateCode) return &state;
    }
    return nullptr;
}

const PrinterState* FindPrinterState(u32 notifyCode) {
    return FindPrinterState(static_cast<i16>(notifyCode >> 16),
                            static_cast<i16>(notifyCode & 0xFFFF));
}

u32 PortSeverity(const PrinterState& state) {
    return state.kind == StateKind::Notice ? PORT_SEVERITY_WARNING : PORT_SEVERITY_ERROR;
}

const char* PortStatusName(u32 status) {
    switch (status) {
        case PORT_STATE_OFFLINE: return "offline";
        case PORT_STATE_PAPER_JAM: return "paper jam";
        case PORT_STATE_PAPER_OUT: return "paper out";
        case PORT_STATE_PAPER_PROBLEM: return "paper problem";
        case PORT_STATE_DOOR_OPEN: return "door open";
        default: return nullptr;
    }
}

const char* PortSeverityName(u32 severity) {
    if (severity == PORT_SEVERITY_ERROR) return "error";
    if (severity == PORT_SEVERITY_WARNING) return "warning";
    return nullptr;
}

const PrinterState* PrinterStates(std::size_t& count) {
    count = sizeof STATES / sizeof STATES[0];
    return STATES;
}
