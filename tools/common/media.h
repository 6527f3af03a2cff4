// The printer's dots across a medium: 300 dots an inch, at most the print
// head's 720 (a raster line of 90 bytes). A raster line starts at the head's
// first dot, so the dots a medium takes are the first dots of each line.
#pragma once

#include <algorithm>
#include <cstdint>

constexpr std::uint32_t HEAD_DOTS = 720;
constexpr std::uint32_t DOTS_PER_INCH = 300;

// The dots a medium mediaWidth millimetres wide prints, in whole bytes of 8
// dots so that a label's rows stay whole bytes; 0 for an unknown medium.
inline std::uint32_t PrintableDots(std::uint32_t mediaWidth) {
    const std::uint32_t dots = mediaWidth * DOTS_PER_INCH * 10 / 254;
    return std::min(dots - dots % 8, HEAD_DOTS);
}
