// Draws the labels a command stream prints, one pixel per dot: each raster
// line is a row, its bits most significant first, a set bit black. A label is
// as wide as its medium prints (common/media.h); where the medium is not
// known, as the print head (720 dots) or its widest line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/picture.h"

struct RenderedPage {
    Picture picture;            // empty when the page was too large to draw
    std::uint32_t rasterLines;  // G and Z lines of the page
    bool reprint;               // no raster of its own: the page before printed again
    size_t endOffset;           // offset of its FF or SUB
};

struct Rendering {
    std::vector<RenderedPage> pages;
    // What the printer did besides printing pages: a reset that dropped a page
    // in progress, bad raster data, data after the last page end.
    std::vector<std::string> notes;
    std::uint32_t statusRequests = 0;
    std::uint32_t resets = 0;
};

// Follows the printer through the stream: job information blocks and status
// requests are stepped over; ESC @ initialises it (compression off, a page in
// progress dropped); M p sets compression (PackBits G lines) for p non-zero;
// FF and SUB print the page. A page without raster lines prints the page
// before it again, as the printer does for a rebuilt job's further copies.
// mediaWidth: the medium in millimetres, 0 when unknown: then each page's
// media information (ESC i z) tells, if it has one. Dots beyond the medium
// are drawn all the same, with a note.
Rendering RenderStream(const std::uint8_t* data, size_t length, std::uint8_t mediaWidth = 0);
