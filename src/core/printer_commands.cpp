// The command table and its lookups.
#include "core/printer_commands.h"

#include <array>

namespace {

constexpr u8 ALL = READ_BY_ALL;
constexpr u8 SCANNER_TOOLS = READ_BY_SCANNER | READ_BY_TOOLS;
constexpr u8 REBUILD_TOOLS = READ_BY_REBUILD | READ_BY_TOOLS;

constexpr PrinterCommand Fixed(const char* name, std::array<u8, 4> lead, u8 leadLength, u16 length,
                               u8 readers, CommandRole role = CommandRole::Other,
                               CommandEdit edit = CommandEdit::None) {
    PrinterCommand command{};
    command.name = name;
    for (u32 i = 0; i < lead.size(); ++i) command.lead[i] = lead[i];
    command.leadLength = leadLength;
    command.rule = LengthRule::Fixed;
    command.length = length;
    command.role = role;
    command.edit = edit;
    command.readers = readers;
    return command;
}

constexpr PrinterCommand Counted(const char* name, std::array<u8, 4> lead, u8 leadLength,
                                 u16 length, u8 countAt, u8 unit, u8 readers, CommandRole role) {
    PrinterCommand command = Fixed(name, lead, leadLength, length, readers, role);
    command.rule = LengthRule::Counted;
    command.countAt = countAt;
    command.unit = unit;
    return command;
}

// Rows with the same first byte stand together, and a row stands before any
// row whose lead begins its own (both checked below). The readers' columns
// keep what each has always known: the rebuild takes any ESC i I as a job
// information block, the scanner and the tools only ESC i I X.
constexpr PrinterCommand COMMANDS[] = {
    Fixed("NUL", {CMD_NUL}, 1, 1, ALL),
    Fixed("ETX", {CMD_ETX}, 1, 1, ALL),
    Fixed("LF", {0x0A}, 1, 1, READ_BY_TOOLS),
    Fixed("FF", {CMD_FF}, 1, 1, ALL, CommandRole::PageEnd),
    Fixed("CR", {0x0D}, 1, 1, READ_BY_TOOLS),
    Fixed("SUB", {CMD_SUB}, 1, 1, ALL, CommandRole::LastPageEnd),
    Fixed("ESC @", {CMD_ESC, '@'}, 2, 2, ALL, CommandRole::Reset),
    Fixed("ESC \\", {CMD_ESC, '\\'}, 2, 4, SCANNER_TOOLS),
    Fixed("ESC |", {CMD_ESC, '|'}, 2, 5, READ_BY_TOOLS),
    Counted("ESC *", {CMD_ESC, '*'}, 2, 5, 2, 3, SCANNER_TOOLS, CommandRole::Other),
    Fixed("ESC i I X", {CMD_ESC, 'i', 'I', 'X'}, 4, 92, ALL, CommandRole::JobInfo),
    Fixed("ESC i I 02", {CMD_ESC, 'i', 'I', 0x02}, 4, 6, SCANNER_TOOLS),
    Fixed("ESC i I", {CMD_ESC, 'i', 'I'}, 3, 92, READ_BY_REBUILD),
    Fixed("ESC i S", {CMD_ESC, 'i', 'S'}, 3, 3, REBUILD_TOOLS, CommandRole::StatusRequest),
    Fixed("ESC i M", {CMD_ESC, 'i', 'M'}, 3, 4, ALL),
    Fixed("ESC i K", {CMD_ESC, 'i', 'K'}, 3, 4, ALL, CommandRole::Other, CommandEdit::CutParameter),
    Fixed("ESC i D", {CMD_ESC, 'i', 'D'}, 3, 4, SCANNER_TOOLS),
    Fixed("ESC i O", {CMD_ESC, 'i', 'O'}, 3, 4, ALL),
    Fixed("ESC i R", {CMD_ESC, 'i', 'R'}, 3, 4, ALL),
    Fixed("ESC i a", {CMD_ESC, 'i', 'a'}, 3, 4, ALL),
    Fixed("ESC i d", {CMD_ESC, 'i', 'd'}, 3, 5, ALL),
    Fixed("ESC i B", {CMD_ESC, 'i', 'B'}, 3, 5, REBUILD_TOOLS),
    Fixed("ESC i c", {CMD_ESC, 'i', 'c'}, 3, 8, ALL, CommandRole::Other,
          CommandEdit::ClearParameter),
    Fixed("ESC i P", {CMD_ESC, 'i', 'P'}, 3, 3, READ_BY_TOOLS),
    Fixed("ESC i L", {CMD_ESC, 'i', 'L'}, 3, 5, READ_BY_TOOLS),
    Fixed("ESC i A", {CMD_ESC, 'i', 'A'}, 3, 19, READ_BY_TOOLS),
    Fixed("ESC i C", {CMD_ESC, 'i', 'C'}, 3, 5, READ_BY_TOOLS),
    // Carries the media information, which the monitor passes on unread.
    Fixed("ESC i z", {CMD_ESC, 'i', 'z'}, 3, 13, READ_BY_TOOLS),
    Fixed("7", {'7'}, 1, 3, READ_BY_TOOLS),
    Fixed("8", {'8'}, 1, 3, READ_BY_TOOLS),
    Fixed("F", {'F'}, 1, 3, READ_BY_TOOLS),
    Counted("G", {'G'}, 1, 3, 1, 1, ALL, CommandRole::Raster),
    Fixed("I", {'I'}, 1, 2, READ_BY_TOOLS),
    Fixed("M", {'M'}, 1, 2, ALL, CommandRole::Compression),
    Fixed("Y", {'Y'}, 1, 3, READ_BY_TOOLS),
    Fixed("Z", {'Z'}, 1, 1, ALL, CommandRole::ZeroRaster),
    Fixed("x", {'x'}, 1, 3, READ_BY_TOOLS),
};

constexpr u32 COMMAND_COUNT = sizeof COMMANDS / sizeof COMMANDS[0];

constexpr bool LeadBegins(const PrinterCommand& shorter, const PrinterCommand& longer) {
    if (shorter.leadLength > longer.leadLength) return false;
    for (u32 i = 0; i < shorter.leadLength; ++i) {
        if (shorter.lead[i] != longer.lead[i]) return false;
    }
    return true;
}

constexpr u32 Words(const char* name) {
    u32 words = 1;
    for (; *name != '\0'; ++name) words += *name == ' ' ? 1 : 0;
    return words;
}

// No row is hidden from a reader by an earlier one, the rows of a first byte
// stand together, and a name has a word per lead byte.
constexpr bool WellOrdered() {
    for (u32 i = 0; i < COMMAND_COUNT; ++i) {
        if (Words(COMMANDS[i].name) != COMMANDS[i].leadLength) return false;
        for (u32 j = i + 1; j < COMMAND_COUNT; ++j) {
            if ((COMMANDS[i].readers & COMMANDS[j].readers) != 0 &&
                LeadBegins(COMMANDS[i], COMMANDS[j]))
                return false;
            if (j > i + 1 && COMMANDS[j].lead[0] == COMMANDS[i].lead[0] &&
                COMMANDS[j - 1].lead[0] != COMMANDS[i].lead[0])
                return false;
        }
    }
    return true;
}
static_assert(WellOrdered());

struct Rows {
    u8 first;
    u8 count;
};

// The rows of each first byte: a lookup costs one index and the few rows
// that share the byte, which matters on the data path's every byte.
constexpr std::array<Rows, 256> MakeIndex() {
    std::array<Rows, 256> index{};
    for (u32 i = 0; i < COMMAND_COUNT; ++i) {
        Rows& rows = index[COMMANDS[i].lead[0]];
        if (rows.count == 0) rows.first = static_cast<u8>(i);
        ++rows.count;
    }
    return index;
}
constexpr std::array<Rows, 256> INDEX = MakeIndex();

bool SameBytes(const u8* at, const u8* lead, u32 count) {
    for (u32 i = 0; i < count; ++i) {
        if (at[i] != lead[i]) return false;
    }
    return true;
}

}  // namespace

const PrinterCommand* FindCommand(const u8* at, u32 available, u8 reader) {
    const Rows rows = INDEX[at[0]];
    for (u32 i = rows.first; i < rows.first + rows.count; ++i) {
        const PrinterCommand& command = COMMANDS[i];
        if ((command.readers & reader) != 0 && command.leadLength <= available &&
            SameBytes(at, command.lead, command.leadLength))
            return &command;
    }
    return nullptr;
}

const PrinterCommand* FindCutShortCommand(const u8* at, u32 available, u8 reader) {
    const Rows rows = INDEX[at[0]];
    for (u32 i = rows.first; i < rows.first + rows.count; ++i) {
        const PrinterCommand& command = COMMANDS[i];
        u32 compared = available < command.leadLength ? available : command.leadLength;
        if ((command.readers & reader) != 0 && available < command.length &&
            SameBytes(at, command.lead, compared))
            return &command;
    }
    return nullptr;
}

u32 MeasurableAt(const PrinterCommand& command) {
    return command.rule == LengthRule::Counted ? command.countAt + 2u : command.leadLength;
}

u32 CommandLength(const PrinterCommand& command, const u8* at) {
    if (command.rule == LengthRule::Fixed) return command.length;
    u32 count =
        static_cast<u32>(at[command.countAt]) | (static_cast<u32>(at[command.countAt + 1]) << 8);
    return command.length + command.unit * count;
}
