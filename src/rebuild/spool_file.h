// The spooled multi-copy job file: a plain run of records, each a 58-byte
// header and its command stream, and the index of its records and pieces.
#pragma once

#include "core/printer_commands.h"

constexpr u32 SPOOL_HEADER_SIZE = 58;
// The mark a multi-copy job starts with is the low byte of its first headerSize.
static_assert(SPOOL_HEADER_SIZE == MULTI_COPY_MARK);

#pragma pack(push, 1)
struct SpoolRecordHeader {
    u32 headerSize;  // always 58
    u32 recordSize;  // header included
    i16 paperId;
    u8 settingFlag;
    u8 unused11;
    i16 copies;
    u8 collate;
    u8 reverseOrder;
    u8 unused16[39];
    u8 explicitWidth;
    u8 mediaType;
    u8 mediaExtra;
};
#pragma pack(pop)

static_assert(sizeof(SpoolRecordHeader) == SPOOL_HEADER_SIZE);

// The header at image + offset; the caller has checked that 58 bytes are there.
SpoolRecordHeader ReadSpoolHeader(const u8* image, u32 offset);

// Number of records when the image is whole valid records (headerSize 58,
// recordSize at least 58, none reaching past the end), else 0. An empty image
// holds no record and gives 0 as well.
u32 CountSpoolRecords(const u8* image, u32 size);

// Offsets and lengths of every record and piece. Piece p of record r is entry
// r * max(pieceCount, 1) + p; recordOffsets has recordCount + 1 entries.
struct SpoolIndex {
    u32 recordCount;
    u32 pieceCount;
    u32 piecesPerRecord;  // pieceCount, but 1 when it is 0
    u32* recordOffsets;
    u32* pieceOffsets;
    u32* pieceLengths;
};

// Entries the index arrays need, or 0 when they would not fit a 32-bit size.
u32 SpoolIndexEntries(u32 recordCount, u32 pieceCount);

// Fills the index of an image that CountSpoolRecords has accepted; the arrays
// hold recordCount + 1 and SpoolIndexEntries entries.
void IndexSpoolImage(const u8* image, SpoolIndex* index);
