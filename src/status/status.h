// Printer status: decode, packet readers, port polls and controls, the wait loop.
#pragma once

#include "monitor/port_session.h"

// Turns a status reply or error status into the state pair; true when good.
bool DecodeStatus(PortSession& session, const StatusPacket& packet);

// Readers: one whole packet into out, or false with the reason in the state
// pair. start is the caller's wait start (tick count), timeout its length.
bool ReadStatusNetwork(PortSession& session, StatusPacket& out, u32 start, u32 timeout);
bool ReadStatusUsb(PortSession& session, StatusPacket& out, u32 start, u32 timeout);
bool ReadStatusSerial(PortSession& session, StatusPacket& out, u32 start, u32 timeout);
bool ReadStatusBytewise(PortSession& session, StatusPacket& out, u32 start, u32 timeout);

// Poll results
constexpr int POLL_STOP = 0;
constexpr int POLL_READ = 1;
constexpr int POLL_NOTHING = 2;
constexpr int POLL_USB_PRESENT = 3;
constexpr int POLL_SERIAL_FEW = 4;

int PollPortReady(PortSession& session);
bool PollParallelPort(PortSession& session);
bool PollUsbPort(PortSession& session);
bool SetPortValue(PortSession& session, u32 value);

bool WaitForStatus(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber,
                   bool noDeadline);
bool RequestStatus(PortSession& session);
bool CheckPrinterStatus(PortSession& session);
