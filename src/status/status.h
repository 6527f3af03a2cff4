// Printer status: decode, packet readers, port polls and controls, the wait loop.
#pragma once

#include "core/port_session.h"

// Turns a status reply or error status into the state pair; true when good.
bool DecodeStatus(PortSession& session, const StatusPacket& packet);

// Readers: one whole packet into out, or false with the reason in the state
// pair. start is the caller's wait start (tick count), timeout its length.
bool ReadStatusNetwork(PortSession& session, StatusPacket& out, u32 start, u32 timeout);
bool ReadStatusUsb(PortSession& session, StatusPacket& out, u32 start, u32 timeout);
bool ReadStatusSerial(PortSession& session, StatusPacket& out, u32 start, u32 timeout);
bool ReadStatusBytewise(PortSession& session, StatusPacket& out, u32 start, u32 timeout);

// What a port's readiness poll tells the status wait loop.
enum PollResult {
    POLL_STOP = 0,         // the printer is gone or the port failed; the state pair says why
    POLL_READ = 1,         // there may be a packet: read now
    POLL_NOTHING = 2,      // nothing to read yet
    POLL_USB_PRESENT = 3,  // USB: the printer is there; whether data waits is not said
    POLL_SERIAL_FEW = 4,   // serial: data flagged, fewer than 3 bytes counted
};

PollResult PollPortReady(PortSession& session);
bool PollParallelPort(PortSession& session);
bool PollUsbPort(PortSession& session);
bool SetPortValue(PortSession& session, u32 value);

bool WaitForStatus(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber,
                   bool noDeadline);
// How a wait of the page-end handshake ended: its packet came; the printer,
// silent for "Print Timeout", answered a status request as ready (the page
// has printed); or it failed, with the reason in the state pair.
enum class CycleWait { Came, PrinterIdle, Failed };
CycleWait WaitForPrintCycle(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber);
bool RequestStatus(PortSession& session);
bool CheckPrinterStatus(PortSession& session);
