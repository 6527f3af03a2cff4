// Walkers over a spooled job's command stream, stepping by the printer's
// command table (core/printer_commands).
#include "rebuild/walkers.h"

#include <cstring>

#include "core/printer_commands.h"

namespace {

constexpr u8 CUT_BIT = 0x80;
// What an empty raster line (Z) adds to rasterBytes.
constexpr u32 ZERO_RASTER_BYTES = 2;

enum StepKind : u8 { STEP_STOP, STEP_PAGE_END, STEP_CONTROL, STEP_RASTER };

struct WalkStep {
    StepKind kind;
    CommandEdit edit;
    u32 length;  // clipped to the bytes left in the buffer
    u32 raster;  // what the command adds to rasterBytes
};

StepKind KindOf(CommandRole role) {
    switch (role) {
        case CommandRole::PageEnd:
        case CommandRole::LastPageEnd: return STEP_PAGE_END;
        case CommandRole::Raster:
        case CommandRole::ZeroRaster: return STEP_RASTER;
        default: return STEP_CONTROL;
    }
}

// The command at pos (< length). A byte the table does not know, or a command
// too short to tell what it is, stops the walk.
WalkStep NextStep(const u8* data, u32 length, u32 pos) {
    const u32 left = length - pos;
    const u8* at = data + pos;
    const PrinterCommand* command = FindCommand(at, left, READ_BY_REBUILD);
    if (command == nullptr || left < MeasurableAt(*command))
        return {STEP_STOP, CommandEdit::None, 0, 0};
    const u32 nominal = CommandLength(*command, at);
    WalkStep step{KindOf(command->role), command->edit, nominal < left ? nominal : left, 0};
    if (command->role == CommandRole::ZeroRaster) step.raster = ZERO_RASTER_BYTES;
    if (command->role == CommandRole::Raster) {
        const u32 count = nominal - command->length;
        const u32 present = left - command->length;
        step.raster = count < present ? count : present;
    }
    return step;
}

// Applies a control command's edit to its copy at cmd (length bytes present).
void EditCommand(u8* cmd, const WalkStep& step, bool setBit) {
    if (step.length < 4) return;  // the parameter byte lies beyond the buffer
    if (step.edit == CommandEdit::CutParameter) {
        cmd[3] = setBit ? static_cast<u8>(cmd[3] | CUT_BIT) : static_cast<u8>(cmd[3] & ~CUT_BIT);
    } else if (step.edit == CommandEdit::ClearParameter) {
        cmd[3] = 0;
    }
}

}  // namespace

u32 FindPageEnd(const u8* data, const u8* end) {
    const u32 length = end > data ? static_cast<u32>(end - data) : 0;
    u32 pos = 0;
    while (pos < length) {
        const WalkStep step = NextStep(data, length, pos);
        if (step.kind == STEP_STOP) break;
        pos += step.length;
        if (step.kind == STEP_PAGE_END) return pos;
    }
    return length;
}

CommandBytes MeasureCommands(const u8* data, u32 length) {
    u32 control = 0;
    u32 raster = 0;
    u32 pos = 0;
    while (pos < length) {
        const WalkStep step = NextStep(data, length, pos);
        if (step.kind == STEP_STOP) break;
        if (step.kind == STEP_CONTROL) control += step.length;
        if (step.kind == STEP_RASTER) raster += step.raster;
        pos += step.length;
    }
    return {control, raster};
}

void ExtractControlCommands(const u8* data, u32 length, u8* dest, u32 destSize, bool setBit) {
    u32 written = 0;
    u32 pos = 0;
    while (pos < length) {
        const WalkStep step = NextStep(data, length, pos);
        if (step.kind == STEP_STOP || step.kind == STEP_PAGE_END) break;
        if (step.kind == STEP_CONTROL) {
            // A command that does not fit whole is left out, never cut.
            if (step.length > destSize - written) break;
            memcpy(dest + written, data + pos, step.length);
            EditCommand(dest + written, step, setBit);
            written += step.length;
        }
        pos += step.length;
    }
}

void PatchControlCommands(u8* buffer, u32 length, bool setBit) {
    u32 pos = 0;
    while (pos < length) {
        const WalkStep step = NextStep(buffer, length, pos);
        if (step.kind == STEP_STOP) break;
        if (step.kind == STEP_CONTROL) EditCommand(buffer + pos, step, setBit);
        pos += step.length;
    }
}
