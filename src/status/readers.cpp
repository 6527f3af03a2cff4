// The four status packet readers: network and USB ports in blocks of one
// packet, serial ports in blocks of up to 640 bytes, the others byte by byte.
#include <windows.h>

#include "core/port_calls.h"
#include "core/port_monitor.h"
#include "core/ticks.h"
#include "status/packet_sync.h"
#include "status/port_wait.h"
#include "status/status.h"

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
    BOOL ok;
    u32 count;
    DWORD error;
};

PortRead ReadPortOnce(PortSession& session, u8* buffer, u32 size) {
    u32 count = 0;
    SetLastError(0);
    BOOL ok = LowerReadPort(session, buffer, size, &count);
    DWORD error = ok ? 0 : GetLastError();
    return {ok, count < size ? count : size, error};
}

// Reads into the receive buffer until a whole packet is there; statusBufferCount is kept on every exit so
// that bytes already received are never lost between calls.
bool ReadBlocks(PortSession& session, StatusPacket& out, u32 start, u32 timeout, u32 limit,
                PacketStart packetStart) {
    u32 count = session.statusBufferCount;
    if (count > STATUS_BUFFER_SIZE) count = STATUS_BUFFER_SIZE;
    for (;;) {
        PortRead read = {TRUE, 0, 0};
        if (u32 room = ReadRoom(count, limit)) read = ReadPortOnce(session, session.statusBuffer + count, room);
        count += read.count;
        if (count != 0) count = SyncPacketStart(session.statusBuffer, count, packetStart);
        bool whole = TakeStatusPacket(session.statusBuffer, count, out);
        session.statusBufferCount = static_cast<u16>(count);
        if (whole) return true;
        if (!read.ok && read.count == 0 && read.error != ERROR_COUNTER_TIMEOUT_CODE)
            return PortFailure(session, read.error, FailedCall::StatusRead);
        if (DeadlinePassed(start, timeout)) return MarkReadTimedOut(session);
        if (read.count == 0) PauseAfterEmptyRead();
    }
}

}  // namespace

bool PortFailure(PortSession& session, DWORD error, FailedCall call) {
    bool request = call == FailedCall::StatusRequest;
    if (error == PORTERR_FATAL) {
        session.resetNeeded = 1;
        SetState(session, STATE_FATAL, CODE_PORT_FATAL);
    } else if (error == PORTERR_GONE && (!request || session.portType == PORTTYPE_USB)) {
        SetState(session, STATE_GONE, 0);
    } else {
        if (!request) session.resetNeeded = 1;
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
    MutexGuard guard{session.portMutex};
    return ReadBlocks(session, out, start, timeout, STATUS_PACKET_SIZE, PacketStart::Pair);
}

bool ReadStatusSerial(PortSession& session, StatusPacket& out, u32 start, u32 timeout) {
    return ReadBlocks(session, out, start, timeout, STATUS_BUFFER_SIZE, PacketStart::Single);
}

// Keeps nothing between calls: reads one byte at a time until the whole
// header has come, then the body straight into the caller's packet.
bool ReadStatusBytewise(PortSession& session, StatusPacket& out, u32 start, u32 timeout) {
    u8* packet = reinterpret_cast<u8*>(&out);
    u32 matched = 0;
    while (matched < HEADER_SIZE) {
        PortRead read = ReadPortOnce(session, packet + matched, 1);
        if (!read.ok && read.error != ERROR_COUNTER_TIMEOUT_CODE) return PortFailure(session, read.error, FailedCall::StatusRead);
        if (read.count == 1) {
            matched = MatchHeaderByte(matched, packet[matched]);
            // Bytes that start no header would otherwise hold the reader past
            // its deadline for as long as a babbling port keeps sending them.
            if (matched != 0) continue;
        }
        if (DeadlinePassed(start, timeout)) return MarkReadTimedOut(session);
        if (read.count == 0) PauseAfterEmptyRead();
    }
    for (u32 i = 0; i < HEADER_SIZE; ++i) packet[i] = STATUS_HEADER[i];

    u32 got = 0;
    for (;;) {
        PortRead read = ReadPortOnce(session, packet + HEADER_SIZE + got, BODY_SIZE - got);
        if (!read.ok && read.error != ERROR_COUNTER_TIMEOUT_CODE) return PortFailure(session, read.error, FailedCall::StatusRead);
        got += read.count;
        if (got == BODY_SIZE) return true;
        if (DeadlinePassed(start, timeout)) return MarkReadTimedOut(session);
        if (read.count == 0) PauseAfterEmptyRead();
    }
}
