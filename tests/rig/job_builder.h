// Builds printer command streams for tests and the demo: pages of raster lines
// behind job information blocks, and the bytes the port should receive.
#pragma once

#include <string>
#include <vector>

#include "core/platform.h"

struct PageLayout {
    u16 pageNumber = 1;
    u16 partIndex = 1;
    u8 partCount = 1;
    u16 checkFlags = 0x0004;  // check the media width
    u8 mediaType = 1;
    u8 mediaWidth = 62;
    u8 mediaExtra = 0;
    u16 rasterLines = 20;
    u16 lineBytes = 16;
    std::string caption = "Label";
    bool withCutParam = true;  // ESC i K on the page
};

struct BuiltJob {
    std::vector<u8> stream;     // what the spooler hands over
    std::vector<u8> portBytes;  // what the port should receive, blocks taken out, edits made
    std::vector<std::vector<u8>> pages;  // per page, the bytes the port receives for it
    std::vector<size_t> pageStreamEnds;  // per page, where it ends in the stream
};

// A 92-byte job information block.
std::vector<u8> JobInfoBytes(const PageLayout& page, u16 pageTotal, u32 pageBytes);

// Pages in order; the last ends with SUB, the others with FF. The job starts
// with ESC @ and an ESC i c whose first parameter the monitor zeroes.
BuiltJob BuildJob(const std::vector<PageLayout>& pages);

// n pages numbered 1..n with default contents.
BuiltJob BuildSimpleJob(int pageCount, u16 rasterLines = 20, u16 lineBytes = 16);
