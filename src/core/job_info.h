// The driver's 92-byte job information block, read in place (little-endian).
#pragma once

#include "core/platform.h"

#pragma pack(push, 1)
struct JobInfoBlock {
    u8 introducer[4];  // ESC i I X
    u8 mediaSetting1;
    u8 mediaSetting2;
    u8 mediaSetting3;
    u8 mediaType;
    u8 mediaWidth;
    u8 mediaExtra;
    u8 mediaSetting4;
    u8 partCount;
    u16 checkFlags;
    u16 partIndex;
    u16 pageNumber;
    u16 pageTotal;
    u16 pageTotalShown;
    u16 reserved22;
    u32 pageBytes;
    char caption[64];
};
#pragma pack(pop)

static_assert(sizeof(JobInfoBlock) == 92);

constexpr u32 JOB_INFO_SIZE = 92;
constexpr u8 JOB_INFO_INTRODUCER[4] = {0x1B, 0x69, 0x49, 0x58};

// Media types with a meaning of their own to the monitor: media whose width a
// spooled job gives itself, and media of which only the kind is checked.
constexpr u8 MEDIA_TYPE_EXPLICIT_WIDTH = 8;
constexpr u8 MEDIA_TYPE_KIND_ONLY = 9;

// checkFlags bits
constexpr u16 JIB_CHECK_MEDIA_TYPE = 0x0002;
constexpr u16 JIB_CHECK_MEDIA_WIDTH = 0x0004;
constexpr u16 JIB_CHECK_MEDIA_EXTRA = 0x0008;
constexpr u16 JIB_RESET_ON_STOP = 0x0400;

// Offset of pageNumber inside the block; the recovery patches it in a page copy.
constexpr u32 JOB_INFO_PAGE_NUMBER_OFFSET = 16;
