// A built-in dot font for the printable ASCII characters: 5 x 7 dot glyphs,
// the letters g, j, p, q and y reaching two dots below the base line. Builds
// without FreeType draw all text with it; others when --font builtin asks.
#pragma once

#include <cstdint>
#include <string>

#include "common/picture.h"

constexpr std::uint32_t FONT_CELL_WIDTH = 6;    // a glyph and its spacing column
constexpr std::uint32_t FONT_ASCENT = 7;        // rows above the base line
constexpr std::uint32_t FONT_DESCENT = 2;       // rows below it
constexpr std::uint32_t FONT_LINE_HEIGHT = 10;  // with a spacing row
constexpr std::uint32_t FONT_GLYPH_ROWS = FONT_ASCENT + FONT_DESCENT;

// The glyph's rows from the top, the leftmost dot in bit 4; null for a
// character the font does not have.
const std::uint8_t* BuiltinGlyph(char32_t code);

// Draws ASCII text with the top left corner of its first cell at (x, y),
// each font dot as scale x scale dots.
void DrawText(Picture& picture, std::uint32_t x, std::uint32_t y, const std::string& text,
              std::uint32_t scale);
