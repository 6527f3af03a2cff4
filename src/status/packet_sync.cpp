// Packet synchronisation for the status readers.
#include "status/packet_sync.h"

#include <cstring>

#include "core/port_session.h"

namespace {

bool StartsAt(const u8* buffer, u32 count, u32 i, PacketStart start) {
    if (buffer[i] != STATUS_HEADER[0]) return false;
    if (start == PacketStart::Single || i + 1 == count) return true;
    return buffer[i + 1] == STATUS_HEADER[1];
}

}  // namespace

u32 SyncPacketStart(u8* buffer, u32 count, PacketStart start) {
    if (count > STATUS_BUFFER_SIZE) count = STATUS_BUFFER_SIZE;
    for (u32 i = 0; i < count; ++i) {
        if (!StartsAt(buffer, count, i, start)) continue;
        if (i != 0) std::memmove(buffer, buffer + i, count - i);
        return count - i;
    }
    return 0;
}

bool TakeStatusPacket(u8* buffer, u32& count, StatusPacket& out) {
    if (count > STATUS_BUFFER_SIZE) count = STATUS_BUFFER_SIZE;
    if (count < STATUS_PACKET_SIZE) return false;
    std::memcpy(&out, buffer, STATUS_PACKET_SIZE);
    count -= STATUS_PACKET_SIZE;
    std::memmove(buffer, buffer + STATUS_PACKET_SIZE, count);
    return true;
}

u32 ReadRoom(u32 count, u32 limit) {
    if (limit > STATUS_BUFFER_SIZE) limit = STATUS_BUFFER_SIZE;
    return count < limit ? limit - count : 0;
}

u32 MatchHeaderByte(u32 matched, u8 byte) {
    if (matched < sizeof STATUS_HEADER && byte == STATUS_HEADER[matched]) return matched + 1;
    return byte == STATUS_HEADER[0] ? 1 : 0;
}
