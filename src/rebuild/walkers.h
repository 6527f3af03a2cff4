// Walkers over the command stream of a spooled multi-copy job: page ends,
// control and raster sizes, extraction and in-place edits of control commands.
//
// They know only the commands a job to be rebuilt uses. A byte they cannot
// step over ends the walk as the end of the buffer would, and a command that
// runs past the end of the buffer is taken as far as the buffer goes: no
// walker reads or writes outside [data, data + length).
#pragma once

#include "core/platform.h"

// Length of the piece at data up to and including its first page end (FF or
// the end-of-job byte SUB). Without one before end (or before a byte the walk cannot
// step over) the piece is the rest of the record: end - data.
u32 FindPageEnd(const u8* data, const u8* end);

// Control and raster byte counts over the whole buffer, page ends and all.
struct CommandBytes {
    u32 control;
    u32 raster;
};
CommandBytes MeasureCommands(const u8* data, u32 length);

// Appends the control commands in front of the first page end to dest, whose
// capacity is destSize (normally controlBytes of MeasureCommands over the same
// data, zero-filled by the caller). ESC i K gets bit 0x80 of its parameter set
// or cleared by setBit and ESC i c its first parameter zeroed, in dest only.
void ExtractControlCommands(const u8* data, u32 length, u8* dest, u32 destSize, bool setBit);

// The same two edits in place, over the whole buffer, page ends and all.
void PatchControlCommands(u8* buffer, u32 length, bool setBit);
