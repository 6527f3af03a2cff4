// The tape table: media type and paper id to tape width and pieces per record.
#include "rebuild/tape_table.h"

namespace {

constexpr u8 TAPE_WIDTHS[6] = {6, 9, 12, 18, 24, 36};

// The paper ids come in four runs of six widths; the run gives the piece count.
struct PaperRun {
    u32 first;
    u32 pieces;
};
constexpr PaperRun PAPER_RUNS[] = {{257, 1}, {277, 2}, {283, 3}, {289, 4}};

}  // namespace

u8 LookupTapeWidth(u8 mediaType, i16 paperId, u32* pieceCount) {
    // Compared unsigned, so a negative id falls outside every run.
    const u32 id = static_cast<u32>(static_cast<i32>(paperId));
    switch (mediaType) {
    case 2:
        *pieceCount = 1;
        return 18;
    case 5:
        *pieceCount = 1;
        if (id == 267 || id == 307) return 12;
        if (id == 268 || id == 308) return 18;
        return 0;
    case 8:
        *pieceCount = 1;
        return 0;
    default:
        break;
    }
    for (const PaperRun& run : PAPER_RUNS) {
        if (id - run.first < 6) {
            *pieceCount = run.pieces;
            return TAPE_WIDTHS[id - run.first];
        }
    }
    *pieceCount = 0;
    return 0;
}
