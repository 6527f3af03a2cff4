// Status decoding and packet synchronisation over arbitrary byte streams cut
// into reads of arbitrary sizes, under both start rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/port_session.h"
#include "status/packet_sync.h"
#include "status/status.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// The buffer sits between guard bytes that must survive every move.
struct Guarded {
    u8 before[16];
    u8 buffer[STATUS_BUFFER_SIZE];
    u8 after[16];
};

void RunStream(const u8* data, size_t size, PacketStart start, u32 limit) {
    Guarded g;
    std::memset(g.before, 0xA5, sizeof g.before);
    std::memset(g.after, 0x5A, sizeof g.after);
    u32 count = 0;
    size_t pos = 0;
    PortSession session{};
    while (pos < size) {
        // The first byte of each read says how much the port delivers.
        u32 want = data[pos++] % 41;
        u32 room = ReadRoom(count, limit);
        Check(count + room <= STATUS_BUFFER_SIZE);
        u32 n = want < room ? want : room;
        if (n > size - pos) n = static_cast<u32>(size - pos);
        std::memcpy(g.buffer + count, data + pos, n);
        pos += n;
        count += n;
        if (count != 0) count = SyncPacketStart(g.buffer, count, start);
        Check(count <= STATUS_BUFFER_SIZE);
        if (count != 0) {
            Check(g.buffer[0] == 0x80);
            if (start == PacketStart::Pair && count > 1) Check(g.buffer[1] == 0x20);
        }
        StatusPacket packet;
        // Each reader call takes at most one packet, after its own read and sync.
        if (TakeStatusPacket(g.buffer, count, packet)) {
            Check(packet.header[0] == 0x80);
            if (start == PacketStart::Pair) Check(packet.header[1] == 0x20);
            DecodeStatus(session, packet);
            Check(session.stateClass >= STATE_READY && session.stateClass <= STATE_GONE);
        }
    }
    for (u8 b : g.before) Check(b == 0xA5);
    for (u8 b : g.after) Check(b == 0x5A);
}

void RunHeader(const u8* data, size_t size) {
    u32 matched = 0;
    for (size_t i = 0; i < size; ++i) {
        matched = MatchHeaderByte(matched, data[i]);
        Check(matched <= 3);
        if (matched == 3) {
            Check(i >= 2 && data[i - 2] == 0x80 && data[i - 1] == 0x20 && data[i] == 0x42);
            matched = 0;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= sizeof(StatusPacket) + sizeof(JobInfoBlock)) {
        PortSession session{};
        std::memcpy(&session.job.jobInfo, data + sizeof(StatusPacket), sizeof(JobInfoBlock));
        StatusPacket packet;
        std::memcpy(&packet, data, sizeof packet);
        bool good = DecodeStatus(session, packet);
        Check(good == (session.stateClass == STATE_READY && session.stateCode == 0));
    }
    RunStream(data, size, PacketStart::Pair, STATUS_PACKET_SIZE);
    RunStream(data, size, PacketStart::Single, STATUS_BUFFER_SIZE);
    RunHeader(data, size);
    return 0;
}
