// The status wait loop, the status request ESC i S and the status check made
// before the data of a new page is sent.
#include <windows.h>

#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "core/printer_commands.h"
#include "core/ticks.h"
#include "core/trace.h"
#include "statmon/notify.h"
#include "core/printer_states.h"
#include "status/port_status.h"
#include "status/port_wait.h"
#include "status/status.h"
#include "statmon/reply_check.h"

namespace {

constexpr DWORD REQUEST_MUTEX_WAIT_MS = 500;

enum class PacketStep { Continue, Succeed, Fail };

u32 DeadlineLength(const PortSession& session, u8 awaited) {
    if (awaited == STATUS_PRINTING_ENDED) return session.job.status.printTimeout;
    if (awaited == STATUS_REPLY) return session.job.status.statusTimeout;
    return static_cast<u32>(session.job.status.pollTimeout);
}

// The reader of the port type, with its own timeout from the same start.
bool ReadPacket(PortSession& session, StatusPacket& packet, u32 start) {
    switch (session.portType) {
        case PORTTYPE_NETWORK:
            return ReadStatusNetwork(session, packet, start, session.job.status.statusTimeout);
        case PORTTYPE_USB:
            return ReadStatusUsb(session, packet, start, session.job.status.statusTimeout);
        case PORTTYPE_SERIAL:
            return ReadStatusSerial(session, packet, start, session.job.status.statusTimeout);
        default:
            return ReadStatusBytewise(session, packet, start,
                                      static_cast<u32>(session.job.status.pollTimeout));
    }
}

bool ReadTimedOut(const PortSession& session) {
    return session.stateClass == STATE_ERROR && session.stateCode == CODE_TIMED_OUT;
}

PacketStep Dispatch(PortSession& session, const StatusPacket& packet, u8 awaited, u8 phaseType,
                    u16 phaseNumber) {
    TraceStatus(session, packet);
    switch (packet.statusType) {
        case STATUS_REPLY: {
            bool good = DecodeStatus(session, packet);
            session.lastStatus = packet;
            if (good) ClearPortState(session);
            return good ? PacketStep::Succeed : PacketStep::Fail;
        }
        case STATUS_PRINTING_ENDED: return PacketStep::Succeed;
        case STATUS_ERROR:
            DecodeStatus(session, packet);
            return awaited == STATUS_ERROR ? PacketStep::Succeed : PacketStep::Fail;
        case STATUS_GONE_A:
        case STATUS_GONE_B: SetState(session, STATE_GONE, 0); return PacketStep::Fail;
        case STATUS_NOTIFICATION:
            if (packet.notificationNumber == 1 && session.stateCode == 0) {
                ShowPortState(session, STATE_NOTICE, CODE_PRINTER_NOTICE);
                if (!SendNotify(session, NotifyPrinterNotice)) return PacketStep::Fail;
            }
            return PacketStep::Continue;
        case STATUS_PHASE_CHANGE: {
            u16 number = static_cast<u16>(packet.phaseNumberHigh << 8 | packet.phaseNumberLow);
            if (IsPrintingPhase(packet.phaseType) && number == 0 &&
                !SendNotify(session, NotifyWaiting))
                return PacketStep::Fail;
            if (awaited == STATUS_PHASE_CHANGE && packet.phaseType == phaseType &&
                number == phaseNumber)
                return PacketStep::Succeed;
            return PacketStep::Continue;
        }
        default: return PacketStep::Continue;
    }
}

}  // namespace

namespace {

// How the loop ended: the awaited packet (or a good reply) came, the wait
// failed with the reason in the state pair, or no packet came for the
// silence limit.
enum class WaitEnd { Succeeded, Failed, Silent };

// Each turn is one poll and at most one reader call; a turn that brought no
// packet pauses briefly before the next. A wait without a deadline ends by a
// packet, a port or printer failure, a cancel from the application (or its
// disappearance), resetNeeded, or (silenceMs not 0) once no packet has come
// for silenceMs, counted afresh from each packet.
WaitEnd WaitLoop(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber,
                 bool noDeadline, u32 silenceMs) {
    u32 length = DeadlineLength(session, statusType);
    u32 start = TickNow();
    u32 lastPacket = start;
    bool awaitingError = statusType == STATUS_ERROR;
    auto ended = [](bool good) { return good ? WaitEnd::Succeeded : WaitEnd::Failed; };
    for (;;) {
        PollResult poll = PollPortReady(session);
        if (poll == POLL_STOP) return WaitEnd::Failed;
        if (poll == POLL_USB_PRESENT && awaitingError) return WaitEnd::Succeeded;
        bool gotPacket = false;
        if (poll != POLL_NOTHING) {
            StatusPacket packet;
            if (ReadPacket(session, packet, start)) {
                gotPacket = true;
                lastPacket = TickNow();
                PacketStep step = Dispatch(session, packet, statusType, phaseType, phaseNumber);
                if (step != PacketStep::Continue) return ended(step == PacketStep::Succeed);
            } else if (ReadTimedOut(session)) {
                SetState(session, STATE_NONE, 0);
                if (awaitingError) return WaitEnd::Succeeded;
            } else {
                return WaitEnd::Failed;
            }
        }
        if (!CheckReply(session)) return WaitEnd::Failed;
        if (session.job.resetNeeded) return WaitEnd::Failed;
        if (!noDeadline && DeadlinePassed(start, length)) {
            if (awaitingError) return WaitEnd::Succeeded;
            SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
            return WaitEnd::Failed;
        }
        if (silenceMs != 0 && DeadlinePassed(lastPacket, silenceMs)) return WaitEnd::Silent;
        if (!gotPacket) PauseAfterEmptyRead();
    }
}

}  // namespace

bool WaitForStatus(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber,
                   bool noDeadline) {
    return WaitLoop(session, statusType, phaseType, phaseNumber, noDeadline, 0) ==
           WaitEnd::Succeeded;
}

// A packet of the print cycle lost to line noise, or a printer that stopped
// answering, would hold the job until someone cancels, and where the spooler
// is a service nobody can. So once nothing has come for "Print Timeout" the
// printer is asked: a good reply says it is idle (the page has printed), an
// error reply is recovered from as any other, and no reply is a
// communication failure.
CycleWait WaitForPrintCycle(PortSession& session, u8 statusType, u8 phaseType, u16 phaseNumber) {
    switch (WaitLoop(session, statusType, phaseType, phaseNumber, true,
                     session.job.status.printTimeout)) {
        case WaitEnd::Succeeded: return CycleWait::Came;
        case WaitEnd::Failed: return CycleWait::Failed;
        case WaitEnd::Silent: break;
    }
    TracePrinterSilent(session);
    return RequestStatus(session) ? CycleWait::PrinterIdle : CycleWait::Failed;
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
        if (DeadlinePassed(start, session.job.status.statusTimeout)) {
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

    u32 written = 0;
    // A short write that leaves no error of its own must not be judged by a
    // stale one.
    SetLastError(0);
    bool ok = LowerWritePort(session, STATUS_REQUEST, sizeof STATUS_REQUEST, &written);
    DWORD error = GetLastError();
    // Released before the reply is awaited: the USB reader takes it again.
    if (usb) ReleaseMutex(static_cast<HANDLE>(session.job.portMutex));

    if (ok && written == sizeof STATUS_REQUEST)
        return WaitForStatus(session, STATUS_REPLY, 0, 0, false);
    return PortFailure(session, error, FailedCall::StatusRequest);
}

// On USB ports the packets the printer may have queued before the request
// are thrown away first, so that the reply decoded answers this request. The
// drain ends when a read fails, and also once its own deadline has passed, so
// that a printer that never stops sending cannot hold the job here. It runs
// only where stale packets can be queued (staleStatusPossible): after a page
// whose print cycle ended with the printer receiving again, it has said all
// it had to say, and the next label need not wait.
bool CheckPrinterStatus(PortSession& session) {
    if (session.portType == PORTTYPE_USB && session.job.status.staleStatusPossible) {
        session.job.status.staleStatusPossible = false;
        u32 start = TickNow();
        u32 timeout = static_cast<u32>(session.job.status.pollTimeout);
        StatusPacket scratch;
        for (;;) {
            bool read = ReadStatusUsb(session, scratch, start, timeout);
            session.job.status.bufferCount = 0;
            if (!read) {
                if (ReadTimedOut(session)) SetState(session, STATE_NONE, 0);
                break;
            }
            if (DeadlinePassed(start, timeout)) break;
        }
        session.job.status.bufferCount = 0;
    }

    if (!RequestStatus(session)) {
        if (session.stateCode == CODE_MEDIA_MISMATCH || session.stateCode == CODE_MEDIA_TYPE_9)
            SendMediaStatus(session, session.lastStatus);
        return false;
    }
    return SendMediaStatus(session, session.lastStatus);
}
