// Port readiness polls and the value passed to the port monitor around a
// page's status exchanges, through the port monitor's GetPrinterDataFromPort.
#include <windows.h>

#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "status/port_wait.h"
#include "status/status.h"

namespace {

constexpr DWORD CONTROL_MUTEX_WAIT_MS = 2000;

// Serial status word bits.
constexpr u32 SERIAL_READY = 0x01;
constexpr u32 SERIAL_DATA = 0x02;
constexpr u32 SERIAL_FAULTS = 0x04 | 0x08;
constexpr u32 SERIAL_BUSY = 0x10;
constexpr u32 SERIAL_FEW_BYTES = 3;

// Published parallel status byte of IOCTL_PAR_QUERY_INFORMATION.
constexpr u8 PAR_PAPER_EMPTY = 0x04;
constexpr u8 PAR_POWER_OFF = 0x10;
constexpr u8 PAR_NOT_CONNECTED = 0x20;
constexpr u8 PAR_BUSY = 0x40;
constexpr u8 PAR_SELECTED = 0x80;

constexpr u32 USB_PRESENT = 0x01 | 0x02;

bool Request(PortSession& session, u32 controlId, void* in, u32 inSize, void* out, u32 outSize,
             u32* returned) {
    return LowerGetPrinterData(session, controlId, nullptr, in, inSize, out, outSize, returned);
}

PollResult SerialFailure(PortSession& session, PollResult result) {
    SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
    return result;
}

PollResult PollNetworkPort(PortSession& session) {
    u32 waiting = 0;
    u32 returned = 0;
    bool ok =
        Request(session, CONTROL_NETWORK_QUEUED, nullptr, 0, &waiting, sizeof waiting, &returned);
    return ok && returned == sizeof waiting && waiting >= STATUS_PACKET_SIZE ? POLL_READ
                                                                             : POLL_NOTHING;
}

PollResult PollSerialPort(PortSession& session) {
    if (session.job.status.bufferCount != 0) return POLL_READ;  // part of a packet is already here
    u32 word = 0;
    if (!Request(session, CONTROL_SERIAL_STATUS, nullptr, 0, nullptr, 0, &word))
        return SerialFailure(session, POLL_STOP);
    if ((word & SERIAL_READY) == 0)
        return SerialFailure(session, (word & SERIAL_DATA) ? POLL_READ : POLL_STOP);
    if (word & SERIAL_FAULTS) return SerialFailure(session, POLL_STOP);
    session.job.status.portReady = (word & SERIAL_BUSY) ? PORT_BUSY : PORT_READY;
    if ((word & SERIAL_DATA) == 0) {
        session.stateCode = 0;
        return POLL_NOTHING;
    }
    return (word >> 16) >= SERIAL_FEW_BYTES ? POLL_READ : POLL_SERIAL_FEW;
}

i16 ClassifyCommErrors(DWORD errors) {
    if (errors & CE_PTO) return PORT_OFF;
    if (errors & (CE_OOP | CE_IOE)) return PORT_FAULT;
    if (errors & CE_DNS) return PORT_OFFLINE;
    return PORT_READY;
}

i16 ClassifyParallelStatus(u8 status) {
    if (status & (PAR_POWER_OFF | PAR_NOT_CONNECTED)) return PORT_OFF;
    if (status & PAR_PAPER_EMPTY) return PORT_FAULT;
    if ((status & (PAR_BUSY | PAR_SELECTED)) == (PAR_BUSY | PAR_SELECTED)) return PORT_BUSY;
    if (status & PAR_BUSY) return PORT_OFFLINE;
    return PORT_READY;
}

}  // namespace

PollResult PollPortReady(PortSession& session) {
    switch (session.portType) {
        case PORTTYPE_NETWORK: return PollNetworkPort(session);
        case PORTTYPE_USB:
            PollUsbPort(session);
            if (session.job.status.portReady == PORT_OFF) {
                SetState(session, STATE_GONE, 0);
                return POLL_STOP;
            }
            return POLL_USB_PRESENT;
        case PORTTYPE_SERIAL: return PollSerialPort(session);
        case PORTTYPE_PARALLEL: PollParallelPort(session); return POLL_READ;
        default: return POLL_READ;
    }
}

// The port monitor's handle is asked first as a communications device; port
// monitors whose handle is no such device answer the published query instead.
bool PollParallelPort(PortSession& session) {
    session.job.status.portReady = PORT_READY;
    DWORD errors = 0;
    if (ClearCommError(static_cast<HANDLE>(session.portMonitorHandle), &errors, nullptr)) {
        session.job.status.portReady = ClassifyCommErrors(errors);
        return true;
    }
    u32 info = 0;
    u32 returned = 0;
    if (!Request(session, CONTROL_PAR_QUERY, nullptr, 0, &info, sizeof info, &returned))
        return false;
    session.job.status.portReady = ClassifyParallelStatus(static_cast<u8>(info & 0xFF));
    return true;
}

bool PollUsbPort(PortSession& session) {
    session.job.status.portReady = PORT_READY;
    switch (TakePortMutex(session, CONTROL_MUTEX_WAIT_MS)) {
        case MutexWait::Owned: break;
        case MutexWait::TimedOut: SetState(session, STATE_ERROR, CODE_TIMED_OUT); return false;
        case MutexWait::Failed: return false;
    }
    auto release = ReleaseOnExit(session.job.portMutex);
    u32 status = 0;
    u32 returned = 0;
    if (!Request(session, CONTROL_USB_STATUS, nullptr, 0, &status, sizeof status, &returned))
        return false;
    if ((status & USB_PRESENT) != USB_PRESENT) session.job.status.portReady = PORT_OFF;
    return true;
}

bool SetPortValue(PortSession& session, u32 value) {
    u32 controlId =
        session.portType == PORTTYPE_NETWORK ? CONTROL_NETWORK_VALUE : CONTROL_PORT_VALUE;
    if (TakePortMutex(session, CONTROL_MUTEX_WAIT_MS) != MutexWait::Owned) return false;
    auto release = ReleaseOnExit(session.job.portMutex);
    u32 returned = 0;
    return Request(session, controlId, &value, sizeof value, nullptr, 0, &returned);
}
