// Job files from label pictures: a command stream with job information blocks,
// or a ':' multi-copy spool file of one record per page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/picture.h"

struct JobLayout {
    bool compress = false;  // M 2 and PackBits lines, else M 0 and plain lines
    std::uint8_t mediaType = 0x0A;
    std::uint8_t mediaWidth = 62;
    std::uint8_t mediaExtra = 0;
    std::uint16_t checkFlags = 0x0004;
    std::string caption = "Label";
    // A spool file when copies is above 0.
    std::int16_t copies = 0;
    bool collate = false;
    bool reverse = false;
};

// Every picture is a page; its rows are raster lines (a blank row a Z). The
// pictures are as wide as the raster line.
std::vector<std::uint8_t> CommandStream(const std::vector<Picture>& pages, const JobLayout& layout);

// The paper id whose tape is mediaWidth wide for mediaType, one piece a
// record; false when the tape table has none (media type 8 takes any width).
bool PaperIdFor(const JobLayout& layout, std::int16_t& paperId);

std::vector<std::uint8_t> SpoolFile(const std::vector<Picture>& pages, const JobLayout& layout,
                                    std::int16_t paperId);
