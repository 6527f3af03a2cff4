// The printer's command set as the tools show it: the length and meaning of
// the command at a position, by the monitor's own command table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class CommandKind : std::uint8_t {
    Unknown,        // a byte that no command begins with (taken one at a time)
    Other,          // a command passed on as it is
    Reset,          // ESC @
    Compression,    // M p
    Raster,         // G lo hi, then lo + 256 hi bytes
    ZeroRaster,     // Z
    PageEnd,        // FF
    LastPageEnd,    // SUB
    JobInfo,        // ESC i I X and 88 more bytes
    StatusRequest,  // ESC i S
};

struct Command {
    CommandKind kind;
    std::uint32_t length;  // the whole command, even where the data ends sooner
    bool cutShort;         // the data ends inside the command
    char name[12];         // "ESC i K"; a command cut short in its lead: as far as it goes
    std::uint8_t head;     // bytes of the name: 1 (G), 2 (ESC @), 3 (ESC i K), 4 (ESC i I X)
};

// The command at data (available > 0 bytes from there to the end of the data).
Command ReadCommand(const std::uint8_t* data, size_t available);

// "ESC i K 08  cut parameter 0x08": the name, its parameters and what they say.
// available is what the data holds from data on, as for ReadCommand.
std::string DescribeCommand(const std::uint8_t* data, size_t available, const Command& command);

// Data bytes of a raster line (G); 0 for any other command.
std::uint32_t RasterDataLength(const std::uint8_t* data, const Command& command);
