// The faces text is drawn in: the built-in dot font at a whole dot size, or a
// TrueType font through FreeType (native builds) at a size in dots.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/picture.h"

// DejaVu Sans, from Debian's fonts-dejavu-core: the face where none is named.
constexpr char DEFAULT_FONT_FILE[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
// The name --font takes for the built-in font.
constexpr char BUILTIN_FONT[] = "builtin";

struct Typeface {
    std::string name;                // "DejaVu Sans", "the built-in font"
    std::uint32_t ascent = 0;        // dots above the base line
    std::uint32_t descent = 0;       // dots below it
    std::uint32_t lineHeight = 0;    // from one base line to the next
    std::uint32_t builtinScale = 0;  // the built-in font's dot size; 0 for TrueType
    std::shared_ptr<void> face;      // FreeType's library and face, released together
};

struct GlyphImage {
    Picture dots;       // empty for a blank glyph
    std::int32_t left;  // from the pen to the picture's first column
    std::int32_t top;   // from the base line up to the picture's first row
    std::uint32_t advance;
};

// Whether this build draws TrueType fonts (FreeType is linked natively only).
bool CanDrawTrueType();

// The built-in font with each of its dots scale x scale dots.
Typeface BuiltinTypeface(std::uint32_t scale);

// A TrueType (or other FreeType) font file at a size of sizeDots dots; false
// with a one-line reason.
bool OpenTypeface(const std::string& path, std::uint32_t sizeDots, Typeface& face,
                  std::string& error);

bool HasGlyph(const Typeface& face, char32_t code);

// The glyph's dots, black where the font is; false when the font lacks it.
bool LoadGlyph(const Typeface& face, char32_t code, GlyphImage& glyph);
