// TIFF PackBits, the run-length code of compressed raster lines: a header byte
// h of 0..127 is followed by h + 1 literal bytes, one of 129..255 by one byte
// repeated 257 - h times; 128 is a no-op.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<std::uint8_t> PackBits(const std::uint8_t* data, size_t length);

// Appends the decoded bytes to out, at most limit of them. False when the data
// ends inside a run or the output would pass limit (what fits is kept).
bool UnpackBits(const std::uint8_t* data, size_t length, std::vector<std::uint8_t>& out,
                size_t limit);
