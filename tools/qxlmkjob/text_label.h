// A label of text: UTF-8 in a TrueType font (native builds) or the built-in
// one, at a size in dots or points, wrapped at the medium's printable width
// or refused with --no-wrap, aligned, tabs expanded.
#pragma once

#include <cstdint>
#include <string>

#include "common/picture.h"
#include "qxlmkjob/label_pages.h"

enum class Align { Left, Centre, Right };

struct TextStyle {
    std::string font;        // a font file, BUILTIN_FONT, or "" for the build's default
    std::uint32_t size = 0;  // dots; 0: the largest that fits without wrapping
    bool wrap = true;
    Align align = Align::Left;
};

// text: lines end at a new line or at "\n" written out (backslash n); "\t"
// written out is a tab. A character the font lacks is refused with its name
// and position.
bool TextPicture(const std::string& text, const LabelSpace& space, const TextStyle& style,
                 Picture& out, std::string& error);
