// The four status packet readers: network and USB ports in blocks of one
// packet, serial ports in blocks of up to 640 bytes, the others byte by byte.
#include <windows.h>

#include <cstring>

#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "core/ticks.h"
#include "status/packet_sync.h"
#include "status/port_wait.h"
#include "status/status.h"
#include "statmon/reply_check.h"

namespace {

constexpr u32 HEADER_SIZE = sizeof STATUS_HEADER;
constexpr u32 BODY_SIZE = STATUS_PACKET_SIZE - HEADER_SIZE;

bool MarkReadTimedOut(PortSession& session) {
    SetState(session, STATE_ERROR, CODE_TIMED_OUT);
    return false;
}

// One ReadPort. The port monitor stores the count on every call, 0 when the
// read fails; a count above what was asked for is not trusted past the buffer.
struct PortRead {
    bool ok;
    u32 count;
    DWORD error;
};

PortRead ReadPortOnce(PortSession& session, u8* buffer, u32 size) {
    u32 count = 0;
    SetLastError(0);
    bool ok = LowerReadPort(session, buffer, size, &count);
    DWORD error = ok ? 0 : GetLastError();
    return {ok, count < size ? count : size, error};
}

// Hands over a packet already whole in the receive buffer before it reads
// the port again (a port monitor whose ReadPort blocks for its read time-out
// would otherwise hold each of a print cycle's packets that long), and reads
// until one is whole. The buffer's count is kept on every exit, so that bytes
// already received are never lost between calls.
bool ReadBlocks(PortSession& session, StatusPacket& out, u32 start, u32 timeout, u32 limit,
                PacketStart packetStart) {
    u32 count = session.job.status.bufferCount;
    if (count > STATUS_BUFFER_SIZE) count = STATUS_BUFFER_SIZE;
    PortRead read = {true, 1, 0};
    for (bool first = true;; first = false) {
        if (count != 0) count = SyncPacketStart(session.job.status.buffer, count, packetStart);
        bool whole = TakeStatusPacket(session.job.status.buffer, count, out);
        session.job.status.bufferCount = static_cast<u16>(count);
        if (whole) return true;
        if (!first) {
            if (DeadlinePassed(start, timeout)) return MarkReadTimedOut(session);
            // A long "Status Timeout" must not keep a cancel waiting (the USB
            // reader holds the port mutex meanwhile).
            if (!CheckReply(session)) return false;
            if (read.count == 0) PauseAfterEmptyRead();
        }
        read = {true, 0, 0};
        if (u32 room = ReadRoom(count, limit))
            read = ReadPortOnce(session, session.job.status.buffer + count, room);
        count += read.count;
        if (!read.ok && read.count == 0 && read.error != ERROR_COUNTER_TIMEOUT_CODE)
            return PortFailure(session, read.error, FailedCall::StatusRead);
    }
}

}  // namespace

bool PortFailure(PortSession& session, DWORD error, FailedCall call) {
    bool request = call == FailedCall::StatusRequest;
    if (error == PORTERR_FATAL) {
        session.job.resetNeeded = true;
        SetState(session, STATE_FATAL, CODE_PORT_FATAL);
    } else if (error == PORTERR_GONE && (!request || session.portType == PORTTYPE_USB)) {
        SetState(session, STATE_GONE, 0);
    } else {
        if (!request) session.job.resetNeeded = true;
        SetState(session, STATE_ERROR, CODE_COMM_FAILURE);
    }
    return false;
}

bool ReadStatusNetwork(PortSession& session, StatusPacket& out, u32 start, u32 timeout) {
    return ReadBlocks(session, out, start, timeout, STATUS_PACKET_SIZE, PacketStart::Pair);
}

// Holds portMutex through its reads, so that the data path's writes and the
// spooler's own requests on the port wait meanwhile. A mutex that could not be
// had is, to the wait loop, a read that brought nothing: contention for the
// port is not a printer error.
bool ReadStatusUsb(PortSession& session, StatusPacket& out, u32 start, u32 timeout) {
    if (TakePortMutex(session, timeout) != MutexWait::Owned) return MarkReadTimedOut(session);
    auto release = ReleaseOnExit(session.job.portMutex);
    return ReadBlocks(session, out, start, timeout, STATUS_PACKET_SIZE, PacketStart::Pair);
}

bool ReadStatusSerial(PortSession& session, StatusPacket& out, u32 start, u32 timeout) {
    return ReadBlocks(session, out, start, timeout, STATUS_BUFFER_SIZE, PacketStart::Single);
}

// Reads one byte at a time until the whole header has come, then the body in
// reads of what is missing. The packet received so far stays in the receive
// buffer between calls, as with the block readers, so that a body that comes
// in pieces after the deadline is finished by the next call, not lost.
bool ReadStatusBytewise(PortSession& session, StatusPacket& out, u32 start, u32 timeout) {
    u8* packet = session.job.status.buffer;
    u32 count =
        session.job.status.bufferCount < STATUS_PACKET_SIZE ? session.job.status.bufferCount : 0;
    for (;;) {
        bool inHeader = count < HEADER_SIZE;
        PortRead read =
            ReadPortOnce(session, packet + count, inHeader ? 1 : STATUS_PACKET_SIZE - count);
        if (!read.ok && read.error != ERROR_COUNTER_TIMEOUT_CODE) {
            session.job.status.bufferCount = 0;
            return PortFailure(session, read.error, FailedCall::StatusRead);
        }
        if (inHeader && read.count == 1) {
            count = MatchHeaderByte(count, packet[count]);
            for (u32 i = 0; i < count; ++i) packet[i] = STATUS_HEADER[i];
        } else {
            count += read.count;
        }
        session.job.status.bufferCount = static_cast<u16>(count);
        if (count == STATUS_PACKET_SIZE) {
            std::memcpy(&out, packet, STATUS_PACKET_SIZE);
            session.job.status.bufferCount = 0;
            return true;
        }
        // Bytes that start no header would otherwise hold the reader past its
        // deadline for as long as a babbling port keeps sending them.
        if (inHeader && count != 0 && read.count == 1) continue;
        if (DeadlinePassed(start, timeout)) return MarkReadTimedOut(session);
        if (read.count == 0) PauseAfterEmptyRead();
    }
}
