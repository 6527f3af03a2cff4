// The status wait loop, the status request ESC i S and the status check made
// before the data of a new page is sent.
#include <windows.h>

#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "core/ticks.h"
#include "core/trace.h"
#include "statmon/notify.h"
#include "status/port_wait.h"
#include "status/status.h"
#include "statmon/reply_check.h"

namespace {

constexpr DWORD REQUEST_MUTEX_WAIT_MS = 500;
constexpr u8 STATUS_REQUEST[3] = {0x1B, 0x69, 0x53};  // ESC i S

enum class Step { Continue, Succeed, Fail };

u32 DeadlineLength(const PortSession& session, u8 awaited) {
    if (awaited == STATUS_PRINTING_ENDED) return session.printTimeout;
    if (awaited == STATUS_REPLY) return session.statusTimeout;
    return static_cast<u32>(session.pollTimeout);
}

// The reader of the port type, with its own timeout from the same start.
bool ReadPacket(PortSession& session, StatusPacket& packet, u32 start) {
    switch (session.portType) {
        case PORTTYPE_NETWORK: return ReadStatusNetwork(session, packet, start, session.statusTimeout);
        case PORTTYPE_USB: return ReadStatusUsb(session, packet, start, session.statusTimeout);
        case PORTTYPE_SERIAL: return ReadStatusSerial(session, packet, start, session.statusTimeout);
        default: return ReadStatusBytewise(session, packet, start, static_cast<u32>(session.pollTimeout));
    }
}

bool ReadTimedOut(const PortSession& session) {
    return session.stateClass == STATE_ERROR && session.stateCode == CODE_TIMED_OUT;
}

Step Dispatch(PortSession& session, const StatusPacket& packet, u8 awaited, u8 phaseType,
              u16 phaseNumber) {
    TraceStatus(session, packet);
    switch (packet.statusType) {
        case STATUS_REPLY: {
            bool good = DecodeStatus(session, packet);
            session.lastStatus = packet;
            return good ? Step::Succeed : Step::Fail;
        }
        case STATUS_PRINTING_ENDED:
            return Step::Succeed;
        case STATUS_ERROR:
            DecodeStatus(session, packet);
            return awaited == STATUS_ERROR ? Step::Succeed : Step::Fail;
        case STATUS_GONE_A:
        case STATUS_GONE_B:
            SetState(session, STATE_GONE, 0);
            return Step::Fail;
        case STATUS_NOTIFICATION:
            if (packet.notificationNumber == 1 && session.stateCode == 0 &&
                !SendNotify(session, NotifyPrinterNotice))
                return Step::Fail;
            return Step::Continue;
        case STATUS_PHASE_CHANGE: {
            session.phaseType = packet.phaseType;
            u16 number = static_cast<u16>(packet.phaseNumberHigh << 8 | packet.phaseNumberLow);
            session.phaseNumber = static_cast<i16>(number);
            if ((packet.phaseType == 1 || packet.phaseType == 3) && number == 0 &&
                !SendNotify(session, NotifyWaiting))
                return Step::Fail;
            if (awaited == STATUS_PHASE_CHANGE && packet.phaseType == phaseType && number == phaseNumber)
                return Step::Succeed;
            return Step::Continue;
        }
        default:
            return Step::Continue;
    }
}

}  // namespace

// Each turn is one poll and at most one reader call; a turn that brought no
// packet pauses briefly before the next. A wait without a deadline ends only
// by a packet, a port or printer failure, a cancel from the application (or
// its disappearance) or resetNeeded.
bool WaitForStatus(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber,
                   bool noDeadline) {
    u32 length = DeadlineLength(session, statusType);
    u32 start = TickNow();
    bool awaitingError = statusType == STATUS_ERROR;
    for (;;) {
        PollResult poll = PollPortReady(session);
        if (poll == POLL_STOP) return false;
        if (poll == POLL_USB_PRESENT && awaitingError) return true;
        bool gotPacket = false;
        if (poll != POLL_NOTHING) {
            StatusPacket packet;
            if (ReadPacket(session, packet, start)) {
                gotPacket = true;
                Step step = Dispatch(session, packet, statusType, phaseType, phaseNumber);
                if (step != Step::Continue) return step == Step::Succeed;
            } else if (ReadTimedOut(session)) {
                SetState(session, STATE_NONE, 0);
                if (awaitingError) return true;
            } else {
                return false;
            }
        }
        if (!CheckReply(session)) return false;
        if (session.resetNeeded) return false;
        if (!noDeadline && DeadlinePassed(start, length)) {
            if (awaitingError) return true;
            SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
            return false;
        }
        if (!gotPacket) PauseAfterEmptyRead();
    }
}

namespace {

// Contention for the USB port is not a printer error: the request waits its
// turn in tries of 500 ms for as long as a status reply may take, and only
// then reports a communication failure. An abandoned mutex has been given
// back by TakePortMutex, so the next try gets it.
bool TakeMutexForRequest(PortSession& session) {
    u32 start = TickNow();
    for (;;) {
        MutexWait wait = TakePortMutex(session, REQUEST_MUTEX_WAIT_MS);
        if (wait == MutexWait::Owned) return true;
        if (!CheckReply(session)) return false;
        if (DeadlinePassed(start, session.statusTimeout)) {
            SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
            return false;
        }
        if (wait == MutexWait::Failed) PauseAfterEmptyRead();
    }
}

}  // namespace

bool RequestStatus(PortSession& session) {
    bool usb = session.portType == PORTTYPE_USB;
    if (usb && !TakeMutexForRequest(session)) return false;

    u8 request[sizeof STATUS_REQUEST];
    for (u32 i = 0; i < sizeof request; ++i) request[i] = STATUS_REQUEST[i];
    u32 written = 0;
    // A short write that leaves no error of its own must not be judged by a
    // stale one.
    SetLastError(0);
    BOOL ok = LowerWritePort(session, request, sizeof request, &written);
    DWORD error = GetLastError();
    // Released before the reply is awaited: the USB reader takes it again.
    if (usb) ReleaseMutex(static_cast<HANDLE>(session.portMutex));

    if (ok && written == sizeof request) return WaitForStatus(session, STATUS_REPLY, 0, 0, false);
    return PortFailure(session, error, FailedCall::StatusRequest);
}

// On USB ports the packets the printer queued before the request are thrown
// away first, so that the reply decoded answers this request. The drain ends
// when a read fails, and also once its own deadline has passed, so that a
// printer that never stops sending cannot hold the job here.
bool CheckPrinterStatus(PortSession& session) {
    if (session.portType == PORTTYPE_USB) {
        u32 start = TickNow();
        u32 timeout = static_cast<u32>(session.pollTimeout);
        StatusPacket scratch;
        for (;;) {
            bool read = ReadStatusUsb(session, scratch, start, timeout);
            session.statusBufferCount = 0;
            if (!read) {
                if (ReadTimedOut(session)) SetState(session, STATE_NONE, 0);
                break;
            }
            if (DeadlinePassed(start, timeout)) break;
        }
        session.statusBufferCount = 0;
    }

    if (!RequestStatus(session)) {
        if (session.stateCode == CODE_MEDIA_MISMATCH || session.stateCode == CODE_MEDIA_TYPE_9)
            SendMediaStatus(session, session.lastStatus);
        return false;
    }
    return SendMediaStatus(session, session.lastStatus);
}
