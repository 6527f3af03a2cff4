// A built-in 5 x 7 dot font for the printable ASCII characters.
#pragma once

#include <cstdint>
#include <string>

#include "common/picture.h"

// A character takes a cell of 6 x 8 font dots: the glyph and a spacing column and row.
constexpr std::uint32_t FONT_CELL_WIDTH = 6;
constexpr std::uint32_t FONT_CELL_HEIGHT = 8;

// Draws text with its top left corner at (x, y), each font dot as scale x
// scale dots; characters outside printable ASCII are drawn as '?'.
void DrawText(Picture& picture, std::uint32_t x, std::uint32_t y, const std::string& text,
              std::uint32_t scale);
