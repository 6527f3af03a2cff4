// Walkers over a spooled job's command stream, sharing one step table.
#include "rebuild/walkers.h"

#include <cstring>

namespace {

constexpr u8 ESC = 0x1B;
constexpr u8 CUT_BIT = 0x80;

enum StepKind : u8 { STEP_STOP, STEP_PAGE_END, STEP_CONTROL, STEP_RASTER };
enum StepEdit : u8 { EDIT_NONE, EDIT_CUT_BIT, EDIT_CLEAR_PARAM };

struct Step {
    StepKind kind;
    StepEdit edit;
    u32 length;  // clipped to the bytes left in the buffer
    u32 raster;  // what the command adds to rasterBytes
};

u32 EscapeILength(u8 letter, StepEdit* edit) {
    *edit = EDIT_NONE;
    switch (letter) {
    case 'B':
    case 'd':
        return 5;
    case 'I':
        return 92;
    case 'K':
        *edit = EDIT_CUT_BIT;
        return 4;
    case 'M':
    case 'O':
    case 'R':
    case 'a':
        return 4;
    case 'S':
        return 3;
    case 'c':
        *edit = EDIT_CLEAR_PARAM;
        return 8;
    default:
        return 0;
    }
}

// The command at pos (< length). A byte the table does not know, or a command
// too short to tell what it is, stops the walk.
Step NextStep(const u8* data, u32 length, u32 pos) {
    const u32 left = length - pos;
    const u8* at = data + pos;
    Step step{STEP_STOP, EDIT_NONE, 0, 0};
    u32 nominal = 0;
    switch (at[0]) {
    case 0x00:
    case 0x03:
        step.kind = STEP_CONTROL;
        nominal = 1;
        break;
    case WALK_FORM_FEED:
    case WALK_END_OF_JOB:
        step.kind = STEP_PAGE_END;
        nominal = 1;
        break;
    case 'Z':
        step.kind = STEP_RASTER;
        step.raster = 2;  // one byte that stands for an empty raster line
        nominal = 1;
        break;
    case 'G': {
        if (left < 3) return step;
        const u32 count = at[1] | (static_cast<u32>(at[2]) << 8);
        step.kind = STEP_RASTER;
        step.raster = count < left - 3 ? count : left - 3;
        nominal = count + 3;
        break;
    }
    case 'M':
        step.kind = STEP_CONTROL;
        nominal = 2;
        break;
    case ESC:
        if (left >= 2 && at[1] == '@') {
            step.kind = STEP_CONTROL;
            nominal = 2;
        } else if (left >= 3 && at[1] == 'i') {
            nominal = EscapeILength(at[2], &step.edit);
            if (nominal != 0) step.kind = STEP_CONTROL;
        }
        break;
    default:
        break;
    }
    if (step.kind == STEP_STOP) return step;
    step.length = nominal < left ? nominal : left;
    return step;
}

// Applies a control command's edit to its copy at cmd (length bytes present).
void EditCommand(u8* cmd, const Step& step, WinBool setBit) {
    if (step.length < 4) return;  // the parameter byte lies beyond the buffer
    if (step.edit == EDIT_CUT_BIT) {
        cmd[3] = setBit ? static_cast<u8>(cmd[3] | CUT_BIT) : static_cast<u8>(cmd[3] & ~CUT_BIT);
    } else if (step.edit == EDIT_CLEAR_PARAM) {
        cmd[3] = 0;
    }
}

}  // namespace

WinBool FindPageEnd(const u8* data, const u8* end, u32* pieceLength) {
    const u32 length = end > data ? static_cast<u32>(end - data) : 0;
    u32 pos = 0;
    while (pos < length) {
        const Step step = NextStep(data, length, pos);
        if (step.kind == STEP_STOP) break;
        pos += step.length;
        if (step.kind == STEP_PAGE_END) {
            *pieceLength = pos;
            return 1;
        }
    }
    *pieceLength = length;
    return 1;
}

WinBool MeasureCommands(const u8* data, u32 length, u32* controlBytes, u32* rasterBytes) {
    u32 control = 0;
    u32 raster = 0;
    u32 pos = 0;
    while (pos < length) {
        const Step step = NextStep(data, length, pos);
        if (step.kind == STEP_STOP) break;
        if (step.kind == STEP_CONTROL) control += step.length;
        if (step.kind == STEP_RASTER) raster += step.raster;
        pos += step.length;
    }
    *controlBytes = control;
    *rasterBytes = raster;
    return 1;
}

WinBool ExtractControlCommands(const u8* data, u32 length, u8* dest, u32 destSize, WinBool setBit) {
    u32 written = 0;
    u32 pos = 0;
    while (pos < length) {
        const Step step = NextStep(data, length, pos);
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
    return 1;
}

WinBool PatchControlCommands(u8* buffer, u32 length, WinBool setBit) {
    u32 pos = 0;
    while (pos < length) {
        const Step step = NextStep(buffer, length, pos);
        if (step.kind == STEP_STOP) break;
        if (step.kind == STEP_CONTROL) EditCommand(buffer + pos, step, setBit);
        pos += step.length;
    }
    return 1;
}
