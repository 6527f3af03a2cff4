// Tape width and pieces per record from a spooled job's media fields.
#pragma once

#include "core/job_info.h"

// The tape table's media types besides MEDIA_TYPE_EXPLICIT_WIDTH: one of a
// single width, and one whose two widths the paper id tells apart.
constexpr u8 MEDIA_TYPE_18MM_ONLY = 2;
constexpr u8 MEDIA_TYPE_TWO_WIDTHS = 5;
constexpr i16 PAPER_IDS_12MM[2] = {267, 307};  // of MEDIA_TYPE_TWO_WIDTHS
constexpr i16 PAPER_IDS_18MM[2] = {268, 308};

// For every other media type the paper ids come in four runs of six widths
// (6, 9, 12, 18, 24 and 36 mm); the run gives the pieces each record holds.
constexpr u32 TAPE_WIDTH_COUNT = 6;
struct PaperRun {
    i16 first;  // the id of the run's narrowest tape
    u32 pieces;
};
constexpr PaperRun PAPER_RUNS[] = {{257, 1}, {277, 2}, {283, 3}, {289, 4}};

// Returns the tape width in millimetres (0 where the table has none) and
// stores the number of pieces each record's data holds (0 for an unknown
// paperId, which makes the rebuild produce no page).
u8 LookupTapeWidth(u8 mediaType, i16 paperId, u32* pieceCount);
