// The pictures of the labels a job prints: text, a test pattern or an image,
// each drawn within the dots its medium prints and as wide as a raster line.
#pragma once

#include <cstdint>
#include <string>

#include "common/picture.h"

constexpr std::uint32_t MAX_TEXT_SCALE = 8;

// Where a label goes across the raster line: its first printable dots.
struct LabelSpace {
    std::uint32_t lineDots;   // the raster line
    std::uint32_t printable;  // the dots the medium prints, at most lineDots
    std::uint32_t mediaWidth;  // millimetres, for the reasons
};

// The text in the built-in font; "\n" (backslash n, or a real new line) starts
// a new line. scale 0 takes the largest size that fits, up to MAX_TEXT_SCALE.
bool TextPicture(const std::string& text, const LabelSpace& space, std::uint32_t scale,
                 Picture& out, std::string& error);

// Diagonal stripes with blank bands, and the page number in a white box.
Picture PatternPicture(const LabelSpace& space, std::uint32_t lines, std::uint32_t pageNumber);

// A PBM or PGM file, one dot a pixel; wider than the medium prints is refused.
bool ImagePicture(const std::string& path, const LabelSpace& space, Picture& out,
                  std::string& error);
