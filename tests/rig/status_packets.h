// Status packets as a printer sends them, for the emulated printer and tests.
#pragma once

#include <cstring>
#include <vector>

#include "core/status_packet.h"

struct StatusFields {
    u8 statusType = STATUS_REPLY;
    u8 errorInfo1 = 0;
    u8 errorInfo2 = 0;
    u8 mediaWidth = 62;
    u8 mediaType = 0x0A;
    u8 mediaExtra = 0;
    u8 phaseType = 0;
    u16 phaseNumber = 0;
    u8 notificationNumber = 0;
};

// A packet with the full header and printer id '0' '5'.
inline StatusPacket MakeStatusPacket(const StatusFields& fields = {}) {
    StatusPacket packet;
    std::memset(&packet, 0, sizeof packet);
    std::memcpy(packet.header, STATUS_HEADER, sizeof packet.header);
    packet.printerId[0] = PRINTER_ID[0];
    packet.printerId[1] = PRINTER_ID[1];
    packet.errorInfo1 = fields.errorInfo1;
    packet.errorInfo2 = fields.errorInfo2;
    packet.mediaWidth = fields.mediaWidth;
    packet.mediaType = fields.mediaType;
    packet.mediaExtra = fields.mediaExtra;
    packet.statusType = fields.statusType;
    packet.phaseType = fields.phaseType;
    packet.phaseNumberHigh = static_cast<u8>(fields.phaseNumber >> 8);
    packet.phaseNumberLow = static_cast<u8>(fields.phaseNumber & 0xFF);
    packet.notificationNumber = fields.notificationNumber;
    return packet;
}

inline StatusPacket PhasePacket(u8 phaseType, u16 phaseNumber) {
    return MakeStatusPacket(
        {.statusType = STATUS_PHASE_CHANGE, .phaseType = phaseType, .phaseNumber = phaseNumber});
}

inline std::vector<u8> PacketBytes(const StatusPacket& packet) {
    const u8* bytes = reinterpret_cast<const u8*>(&packet);
    return std::vector<u8>(bytes, bytes + sizeof packet);
}
