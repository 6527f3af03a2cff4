// Names for what the monitor, the application and the printer exchange:
// notification codes, state pairs, reply states and status packets.
#pragma once

#include <cstdint>
#include <string>

#include "core/statmon_interface.h"
#include "core/status_packet.h"

// A state pair with its name ("cover open") and its short text ("Cover
// open", as Windows shows it); both empty for a pair the table lacks.
struct StateWords {
    int stateClass;
    int stateCode;
    std::string name;
    std::string text;
};

StateWords DescribeState(int stateClass, int stateCode);

// "state (2, 20): cover open".
std::string StateLine(const StateWords& state);

// {"pair":[2,20],"name":"cover open","text":"Cover open"}
std::string StateJson(const StateWords& state);

StateWords NotifiedState(std::uint32_t code);

// "NotifyJobStart", or the state line for a state notification.
std::string NotifyText(std::uint32_t code);

const char* ReplyText(std::uint32_t state);

// What a page asks of the loaded media, for the decode's media checks.
struct PageChecks {
    std::uint8_t mediaWidth = 0, mediaType = 0, mediaExtra = 0;
    std::uint16_t checkFlags = 0;  // 0: no media check
};

// "status reply: ready, media 62 mm type 0x0a", "phase change: printing (1, 0)", ...
std::string DescribePacket(const StatusPacket& packet, const PageChecks& page);

// The pair a status reply or error status decodes to, by the monitor's own
// decode with the page's media checks; false for other packets.
bool PacketState(const StatusPacket& packet, const PageChecks& page, StateWords& state);
