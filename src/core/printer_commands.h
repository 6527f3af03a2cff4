// The printer's command language, once: each command's lead bytes, its
// length (fixed, or counted from its head), the edit the monitor makes to it
// and which readers know it. The data path's scanner, the rebuild's walkers
// and the tools read this table; a new command is one row. Platform-free.
#pragma once

#include "core/platform.h"

// Bytes the readers name.
constexpr u8 CMD_NUL = 0x00;
constexpr u8 CMD_ETX = 0x03;
constexpr u8 CMD_FF = 0x0C;   // a page's end
constexpr u8 CMD_SUB = 0x1A;  // the last page's end
constexpr u8 CMD_ESC = 0x1B;

// ESC @: initialises the printer.
inline constexpr u8 RESET_COMMAND[2] = {CMD_ESC, '@'};
// ESC i S: asks the printer for a status reply.
inline constexpr u8 STATUS_REQUEST[3] = {CMD_ESC, 'i', 'S'};
// The reset sequence: this many zero bytes, then ESC @.
constexpr u32 RESET_ZEROS = 48;
// A job that starts with this byte is a spooled multi-copy job.
constexpr u8 MULTI_COPY_MARK = ':';

// What a command is to the readers that act on it.
enum class CommandRole : u8 {
    Other,          // passed on as it is
    Reset,          // ESC @
    Compression,    // M p: compressed raster lines from p != 0 on
    Raster,         // G: a raster line and its data bytes
    ZeroRaster,     // Z: an empty raster line
    PageEnd,        // FF
    LastPageEnd,    // SUB
    JobInfo,        // the driver's job information block
    StatusRequest,  // ESC i S
};

// How long a command is.
enum class LengthRule : u8 {
    Fixed,    // length bytes
    Counted,  // length + unit * the 16-bit count at countAt (little-endian)
};

// What the monitor changes in a command's parameter byte (the fourth byte).
enum class CommandEdit : u8 {
    None,
    CutParameter,    // ESC i K: the scanner gives a resent page back its saved
                     // value; the rebuild sets or clears the cut bit
    ClearParameter,  // ESC i c: the first parameter is zeroed
};

// The readers, as bits: which of them know a command. A byte sequence a
// reader does not know is, to it, bytes that no command begins with.
constexpr u8 READ_BY_SCANNER = 0x1;  // the data path (stream/scanner.cpp)
constexpr u8 READ_BY_REBUILD = 0x2;  // the rebuild's walkers (rebuild/walkers.cpp)
constexpr u8 READ_BY_TOOLS = 0x4;    // the tools' listing and drawing, the tests' printer
constexpr u8 READ_BY_ALL = READ_BY_SCANNER | READ_BY_REBUILD | READ_BY_TOOLS;

struct PrinterCommand {
    const char* name;  // a word per lead byte: "ESC i K"
    u8 lead[4];
    u8 leadLength;
    LengthRule rule;
    u16 length;  // Fixed: the whole command; Counted: the command with a count of 0
    u8 countAt;  // Counted: where the count is
    u8 unit;     // Counted: bytes per count
    CommandRole role;
    CommandEdit edit;
    u8 readers;
};

// The command a reader knows whose whole lead is at `at` (available > 0
// bytes there), or null.
const PrinterCommand* FindCommand(const u8* at, u32 available, u8 reader);

// A command a reader knows that the available bytes at `at` may be the start
// of, cut short by the end of the data: it is longer than they are, and they
// begin with its lead or its lead with them.
const PrinterCommand* FindCutShortCommand(const u8* at, u32 available, u8 reader);

// Bytes needed to measure the command: its lead, or for a counted command the
// bytes up to its count.
u32 MeasurableAt(const PrinterCommand& command);

// The whole command's length; `at` holds at least MeasurableAt bytes.
u32 CommandLength(const PrinterCommand& command, const u8* at);
