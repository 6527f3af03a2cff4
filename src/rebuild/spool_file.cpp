// Reading record headers, checking the record chain, and indexing pieces.
#include "rebuild/spool_file.h"

#include <cstring>

#include "rebuild/walkers.h"

SpoolRecordHeader ReadSpoolHeader(const u8* image, u32 offset) {
    SpoolRecordHeader header;
    memcpy(&header, image + offset, sizeof header);
    return header;
}

u32 CountSpoolRecords(const u8* image, u32 size) {
    u32 count = 0;
    u32 offset = 0;
    // Every record advances by at least 58 bytes, so this ends.
    while (offset < size) {
        if (size - offset < SPOOL_HEADER_SIZE) return 0;
        const SpoolRecordHeader header = ReadSpoolHeader(image, offset);
        if (header.headerSize != SPOOL_HEADER_SIZE) return 0;
        if (header.recordSize < SPOOL_HEADER_SIZE) return 0;
        if (header.recordSize > size - offset) return 0;
        offset += header.recordSize;
        ++count;
    }
    return count;
}

u32 SpoolIndexEntries(u32 recordCount, u32 pieceCount) {
    const std::uint64_t perRecord = pieceCount != 0 ? pieceCount : 1;
    const std::uint64_t entries = static_cast<std::uint64_t>(recordCount) * perRecord + 1;
    if (entries * sizeof(u32) > 0xFFFFFFFFull) return 0;
    return static_cast<u32>(entries);
}

void IndexSpoolImage(const u8* image, SpoolIndex* index) {
    index->piecesPerRecord = index->pieceCount != 0 ? index->pieceCount : 1;
    u32 j = 0;
    u32 offset = 0;
    for (u32 r = 0; r < index->recordCount; ++r) {
        const SpoolRecordHeader header = ReadSpoolHeader(image, offset);
        const u32 dataStart = offset + SPOOL_HEADER_SIZE;
        const u32 dataEnd = offset + header.recordSize;
        index->recordOffsets[r] = offset;
        // All pieces but the last end at a page end; the last takes the rest.
        u32 start = dataStart;
        for (u32 p = 0; p + 1 < index->pieceCount; ++p) {
            const u32 length = FindPageEnd(image + start, image + dataEnd);
            index->pieceOffsets[j] = start;
            index->pieceLengths[j] = length;
            start += length;
            ++j;
        }
        index->pieceOffsets[j] = start;
        index->pieceLengths[j] = dataEnd - start;
        ++j;
        offset = dataEnd;
    }
    index->recordOffsets[index->recordCount] = offset;
}
