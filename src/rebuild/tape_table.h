// Tape width and pieces per record from a spooled job's media fields.
#pragma once

#include "core/platform.h"

// Returns the tape width in millimetres (0 where the table has none) and
// stores the number of pieces each record's data holds (0 for an unknown
// paperId, which makes the rebuild produce no page).
u8 LookupTapeWidth(u8 mediaType, i16 paperId, u32* pieceCount);
