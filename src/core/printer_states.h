// Every state the monitor reports, once: the pair (class, code) it sets, its
// name in the trace and in qxlprint, the short text Windows shows beside the
// printer, what kind of trouble it is, how the spooler's port status says it,
// and the status monitor application's texts for it. Platform-free.
#pragma once

#include <cstddef>

#include "core/status_packet.h"

enum class StateKind {
    Internal,   // never reported: the readers' and the scanner's own pairs, a cancel
    Fixable,    // someone at the printer can clear it; the job waits for an answer
    WontClear,  // the job waits, but Continue cannot help (another printer model)
    Fatal,      // the job stops
    Gone,       // the printer is off or gone: the job ends
    Notice,     // said, nothing awaited
};

// The spooler's PORT_INFO_3 values by number (winspool's PORT_STATUS_* and
// PORT_STATUS_TYPE_*), so that the table stays platform-free.
constexpr u32 PORT_STATE_SAID_BY_TEXT = 0;  // dwStatus 0: pszStatus says it
constexpr u32 PORT_STATE_OFFLINE = 1;
constexpr u32 PORT_STATE_PAPER_JAM = 2;
constexpr u32 PORT_STATE_PAPER_OUT = 3;
constexpr u32 PORT_STATE_PAPER_PROBLEM = 5;
constexpr u32 PORT_STATE_DOOR_OPEN = 7;
constexpr u32 PORT_SEVERITY_ERROR = 1;
constexpr u32 PORT_SEVERITY_WARNING = 2;

// The printer's notice (status type 5), told as NotifyPrinterNotice: its pair
// in the table is that notification's code.
constexpr i16 STATE_NOTICE = 5;
constexpr i16 CODE_PRINTER_NOTICE = static_cast<i16>(0x8014);

struct PrinterState {
    i16 stateClass;
    i16 stateCode;
    const char* name;  // "cover open"
    const char* text;  // "Cover open"
    StateKind kind;
    u32 portStatus;  // PORT_STATE_*
    int headlineId;  // the application's strings (core/state_texts.h); 0: none
    int adviceId;
    bool namesJobMedia;  // the advice names the media the job asks for
};

// The entry of a pair, null for a pair the monitor never sets.
const PrinterState* FindPrinterState(i16 stateClass, i16 stateCode);
// The entry of a notification code: (class << 16) | code.
const PrinterState* FindPrinterState(u32 notifyCode);

// The error severity for every state but a notice, which is a warning.
u32 PortSeverity(const PrinterState& state);

// "door open", "offline", ...; null for 0 (the text says it) and unknown values.
const char* PortStatusName(u32 status);
// "error" or "warning"; null for anything else.
const char* PortSeverityName(u32 severity);

// The whole table, for the tests and qxlprint's listing.
const PrinterState* PrinterStates(std::size_t& count);
