// The printer's commands: lengths for walking a stream, texts for listing it.
#include "common/commands.h"

#include "common/text.h"

namespace {

constexpr std::uint8_t ESC = 0x1B;

struct Entry {
    std::uint8_t letter;  // after ESC i
    std::uint8_t length;
    const char* name;
};

// ESC i commands and their lengths; ESC i z carries the media information,
// which the monitor passes on without reading it.
constexpr Entry ESC_I_COMMANDS[] = {
    {'M', 4, "ESC i M"}, {'K', 4, "ESC i K"},  {'D', 4, "ESC i D"}, {'P', 3, "ESC i P"},
    {'L', 5, "ESC i L"}, {'A', 19, "ESC i A"}, {'R', 4, "ESC i R"}, {'B', 5, "ESC i B"},
    {'C', 5, "ESC i C"}, {'a', 4, "ESC i a"},  {'d', 5, "ESC i d"}, {'c', 8, "ESC i c"},
    {'O', 4, "ESC i O"}, {'z', 13, "ESC i z"},
};

// One-byte commands of the raster set with their lengths.
struct Single {
    std::uint8_t byte;
    std::uint8_t length;
    const char* name;
};
constexpr Single SINGLE_COMMANDS[] = {
    {0x00, 1, "NUL"}, {0x03, 1, "ETX"}, {0x0A, 1, "LF"}, {0x0D, 1, "CR"}, {'F', 3, "F"},
    {'8', 3, "8"},    {'x', 3, "x"},    {'Y', 3, "Y"},   {'I', 2, "I"},   {'7', 3, "7"},
};

// The name has a word per byte: "ESC i K" is three bytes, "G" one.
Command Make(CommandKind kind, std::uint32_t length, size_t available, const char* name) {
    std::uint8_t head = 1;
    for (const char* c = name; *c != '\0'; ++c)
        if (*c == ' ') ++head;
    if (kind == CommandKind::Unknown) head = 1;
    return Command{kind, length, available < length, name, head};
}

Command ReadEscape(const std::uint8_t* data, size_t available) {
    if (available < 2) return Make(CommandKind::Unknown, 1, available, "ESC");
    switch (data[1]) {
        case '@': return Make(CommandKind::Reset, 2, available, "ESC @");
        case '\\': return Make(CommandKind::Other, 4, available, "ESC \\");
        case '|': return Make(CommandKind::Other, 5, available, "ESC |");
        case '*': {
            if (available < 4) return Make(CommandKind::Other, 5, available, "ESC *");
            std::uint32_t count = data[2] | (static_cast<std::uint32_t>(data[3]) << 8);
            return Make(CommandKind::Other, 5 + 3 * count, available, "ESC *");
        }
        case 'i': break;
        default: return Make(CommandKind::Unknown, 1, available, "ESC");
    }
    if (available < 3) return Make(CommandKind::Other, 3, available, "ESC i");
    const std::uint8_t letter = data[2];
    if (letter == 'I') {
        if (available < 4) return Make(CommandKind::Other, 4, available, "ESC i I");
        if (data[3] == 'X') return Make(CommandKind::JobInfo, 92, available, "ESC i I X");
        if (data[3] == 0x02) return Make(CommandKind::Other, 6, available, "ESC i I 02");
        return Make(CommandKind::Unknown, 1, available, "ESC");
    }
    if (letter == 'S') return Make(CommandKind::StatusRequest, 3, available, "ESC i S");
    for (const Entry& entry : ESC_I_COMMANDS)
        if (entry.letter == letter)
            return Make(CommandKind::Other, entry.length, available, entry.name);
    return Make(CommandKind::Unknown, 1, available, "ESC");
}

}  // namespace

Command ReadCommand(const std::uint8_t* data, size_t available) {
    switch (data[0]) {
        case 0x0C: return Make(CommandKind::PageEnd, 1, available, "FF");
        case 0x1A: return Make(CommandKind::LastPageEnd, 1, available, "SUB");
        case 'Z': return Make(CommandKind::ZeroRaster, 1, available, "Z");
        case 'M': return Make(CommandKind::Compression, 2, available, "M");
        case 'G': {
            if (available < 3) return Make(CommandKind::Raster, 3, available, "G");
            std::uint32_t n = data[1] | (static_cast<std::uint32_t>(data[2]) << 8);
            return Make(CommandKind::Raster, 3 + n, available, "G");
        }
        case ESC: return ReadEscape(data, available);
        default: break;
    }
    for (const Single& single : SINGLE_COMMANDS)
        if (single.byte == data[0])
            return Make(CommandKind::Other, single.length, available, single.name);
    return Make(CommandKind::Unknown, 1, available, "?");
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
