// The printer's commands as the tools show them: lengths from the monitor's
// command table (core/printer_commands), texts for listing them.
#include "common/commands.h"

#include <cstring>

#include "common/text.h"
#include "core/printer_commands.h"

namespace {

CommandKind KindOf(CommandRole role) {
    switch (role) {
        case CommandRole::Reset: return CommandKind::Reset;
        case CommandRole::Compression: return CommandKind::Compression;
        case CommandRole::Raster: return CommandKind::Raster;
        case CommandRole::ZeroRaster: return CommandKind::ZeroRaster;
        case CommandRole::PageEnd: return CommandKind::PageEnd;
        case CommandRole::LastPageEnd: return CommandKind::LastPageEnd;
        case CommandRole::JobInfo: return CommandKind::JobInfo;
        case CommandRole::StatusRequest: return CommandKind::StatusRequest;
        default: return CommandKind::Other;
    }
}

// The name's first `words` words: "ESC i" of "ESC i I X".
Command Make(CommandKind kind, std::uint32_t length, size_t available, const char* name,
             std::uint8_t words) {
    Command command{kind, length, available < length, {}, words};
    size_t end = 0;
    for (std::uint8_t word = 0; name[end] != '\0'; ++end) {
        if (name[end] == ' ' && ++word == words) break;
    }
    if (end >= sizeof command.name) end = sizeof command.name - 1;
    std::memcpy(command.name, name, end);
    return command;
}

}  // namespace

Command ReadCommand(const std::uint8_t* data, size_t available) {
    const u32 bytes = available < 0xFFFFFFFFu ? static_cast<u32>(available) : 0xFFFFFFFFu;
    if (const PrinterCommand* command = FindCommand(data, bytes, READ_BY_TOOLS)) {
        // A count the data does not hold yet leaves the command's least length.
        const std::uint32_t length =
            bytes >= MeasurableAt(*command) ? CommandLength(*command, data) : command->length;
        return Make(KindOf(command->role), length, available, command->name, command->leadLength);
    }
    // Data that ends within a command's lead, after two or more of its bytes,
    // is that command cut short, named as far as it goes.
    const PrinterCommand* cut = FindCutShortCommand(data, bytes, READ_BY_TOOLS);
    if (cut != nullptr && bytes >= 2 && bytes < cut->leadLength)
        return Make(CommandKind::Other, bytes + 1, available, cut->name,
                    static_cast<std::uint8_t>(bytes));
    return Make(CommandKind::Unknown, 1, available, data[0] == CMD_ESC ? "ESC" : "?", 1);
}

std::uint32_t RasterDataLength(const std::uint8_t* data, const Command& command) {
    return command.kind == CommandKind::Raster && !command.cutShort ? command.length - 3 : 0;
}

namespace {

std::string Meaning(const std::uint8_t* data, const Command& command) {
    if (command.kind == CommandKind::Reset) return "  initialise";
    if (command.kind == CommandKind::Compression)
        return data[1] != 0 ? "  compression on" : "  compression off";
    if (command.kind == CommandKind::StatusRequest) return "  status request";
    // ESC i commands with a parameter: the letter after ESC i says which.
    if (command.head != 3 || command.length < 4 || data[0] != 0x1B) return "";
    switch (data[2]) {
        case 'a': return Format("  raster mode %u", data[3]);
        case 'K': return Format("  cut parameter 0x%02x", data[3]);
        case 'M': return Format("  mode 0x%02x", data[3]);
        case 'd': return Format("  margin %u dots", data[3] | (data[4] << 8));
        case 'c': return Format("  first parameter 0x%02x", data[3]);
        case 'z': {
            unsigned lines = data[7] | (data[8] << 8) | (data[9] << 16) |
                             (static_cast<unsigned>(data[10]) << 24);
            return Format("  media information: type 0x%02x, width %u mm, %u raster lines", data[4],
                          data[5], lines);
        }
        default: return "";
    }
}

}  // namespace

std::string DescribeCommand(const std::uint8_t* data, size_t available, const Command& command) {
    if (command.kind == CommandKind::Unknown) return Format("unknown byte 0x%02x", data[0]);
    std::string text = command.name;
    const std::uint32_t head = command.head;
    size_t shown = command.length < head + 12 ? command.length : head + 12;
    if (shown > available) shown = available;
    for (size_t i = head; i < shown; ++i) Appendf(text, " %02x", data[i]);
    if (command.cutShort) {
        Appendf(text, "  cut short: the data ends after %zu of its %u bytes", available,
                command.length);
        return text;
    }
    if (shown < command.length) text += " ...";
    return text + Meaning(data, command);
}
