// The pictures of the labels a job prints: text, a test pattern or an image,
// each as wide as a raster line.
#pragma once

#include <cstdint>
#include <string>

#include "common/picture.h"

constexpr std::uint32_t MAX_TEXT_SCALE = 8;

// The text in the built-in font; "\n" (backslash n, or a real new line) starts
// a new line. scale 0 takes the largest size that fits, up to MAX_TEXT_SCALE.
bool TextPicture(const std::string& text, std::uint32_t width, std::uint32_t scale, Picture& out,
                 std::string& error);

// Diagonal stripes with blank bands, and the page number in a white box.
Picture PatternPicture(std::uint32_t width, std::uint32_t lines, std::uint32_t pageNumber);

// A PBM or PGM file, one dot a pixel, padded with white to the line's width.
bool ImagePicture(const std::string& path, std::uint32_t width, Picture& out, std::string& error);
