// The pictures of the labels a job prints: a test pattern or a picture (text:
// text_label.h), each drawn within the dots its medium prints and as wide as
// a raster line.
#pragma once

#include <cstdint>
#include <string>

#include "common/picture.h"

// Where a label goes across the raster line: its first printable dots.
struct LabelSpace {
    std::uint32_t lineDots;    // the raster line
    std::uint32_t printable;   // the dots the medium prints, at most lineDots
    std::uint32_t mediaWidth;  // millimetres, for the reasons
};

// "36 mm media prints 424 (--media-width)" or "a raster line holds 720 (--line-bytes)".
std::string SpaceLimit(const LabelSpace& space);

// The label on its raster lines, x dots from the first: white elsewhere.
Picture OnLines(const Picture& label, std::uint32_t lineDots, std::uint32_t x = 0);

// Diagonal stripes with blank bands, and the page number in a white box.
Picture PatternPicture(const LabelSpace& space, std::uint32_t lines, std::uint32_t pageNumber);

enum class Fit {
    Shrink,  // a picture wider than the label is made as wide as it (the default)
    Fill,    // every picture is made as wide as the label (--fit)
    Never,   // one dot a pixel; a picture wider than the label is refused (--no-fit)
};

struct PictureStyle {
    Fit fit = Fit::Shrink;
    bool centre = false;
    std::uint32_t rotate = 0;     // degrees clockwise: 0, 90, 180, 270
    std::uint32_t threshold = 0;  // percent dark that makes a dot black; 0 dithers
};

// A PNG (native builds), PBM or PGM file: turned, fitted to the label, its
// grey dithered (or cut at the threshold), placed left or in the centre.
bool ImagePicture(const std::string& path, const LabelSpace& space, const PictureStyle& style,
                  Picture& out, std::string& error);
