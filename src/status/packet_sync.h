// Cutting status packets out of the bytes a port delivers: the start of a
// packet, the byte-wise header match and the receive buffer's moves.
#pragma once

#include "core/status_packet.h"

// What a packet starts with: network and USB ports 0x80 0x20, serial 0x80.
enum class PacketStart { Pair, Single };

// Drops the bytes in front of the first packet start in buffer[0, count) and
// moves the rest to the front; returns the new count (0 when nothing can start
// a packet). A 0x80 that is the last byte counts as a start under the pair
// rule: its second byte may still be on its way.
u32 SyncPacketStart(u8* buffer, u32 count, PacketStart start);

// With 32 or more bytes buffered: copies the first 32 to out, moves the rest
// to the front, lowers count and returns true.
bool TakeStatusPacket(u8* buffer, u32& count, StatusPacket& out);

// How many more bytes a block read may ask for: limit is 32 for network and
// USB ports, 640 for serial ports, never more than the buffer holds.
u32 ReadRoom(u32 count, u32 limit);

// The byte-wise reader's header match: the header bytes matched so far after
// one more byte (0x80 0x20 0x42; a 0x80 that breaks a match starts a new one).
u32 MatchHeaderByte(u32 matched, u8 byte);
