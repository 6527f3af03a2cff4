// Names for what the monitor, the application and the printer exchange:
// notification codes, state pairs, reply states and status packets.
#pragma once

#include <cstdint>
#include <string>

#include "core/status_packet.h"

// "NotifyJobStart", or "state (2, 5): cover open" for a state notification.
std::string NotifyText(std::uint32_t code);

// "cover open", "printer gone", "errorInfo1 0x04", ... for a state pair.
std::string StateText(int stateClass, int stateCode);

const char* ReplyText(std::uint32_t state);

// "status reply: ready, media 62 mm type 0x0a", "phase change: printing (1, 0)", ...
std::string DescribePacket(const StatusPacket& packet);
