// The tape table: media type and paper id to tape width and pieces per record.
#include "rebuild/tape_table.h"

namespace {

constexpr u8 TAPE_WIDTHS[TAPE_WIDTH_COUNT] = {6, 9, 12, 18, 24, 36};

bool IsOneOf(u32 id, const i16 (&ids)[2]) {
    return id == static_cast<u32>(ids[0]) || id == static_cast<u32>(ids[1]);
}

}  // namespace

u8 LookupTapeWidth(u8 mediaType, i16 paperId, u32* pieceCount) {
    // Compared unsigned, so a negative id falls outside every run.
    const u32 id = static_cast<u32>(static_cast<i32>(paperId));
    switch (mediaType) {
        case MEDIA_TYPE_18MM_ONLY: *pieceCount = 1; return 18;
        case MEDIA_TYPE_TWO_WIDTHS:
            *pieceCount = 1;
            if (IsOneOf(id, PAPER_IDS_12MM)) return 12;
            if (IsOneOf(id, PAPER_IDS_18MM)) return 18;
            return 0;
        case MEDIA_TYPE_EXPLICIT_WIDTH: *pieceCount = 1; return 0;
        default: break;
    }
    for (const PaperRun& run : PAPER_RUNS) {
        if (id - static_cast<u32>(run.first) < TAPE_WIDTH_COUNT) {
            *pieceCount = run.pieces;
            return TAPE_WIDTHS[id - static_cast<u32>(run.first)];
        }
    }
    *pieceCount = 0;
    return 0;
}
