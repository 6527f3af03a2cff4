// A one-bit picture: rows packed most significant bit first, a set bit a black
// dot, the way raster lines and PBM files hold them; and a grey one, as
// pictures come in before they are made into dots.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Picture {
    std::uint32_t width = 0;         // dots
    std::uint32_t height = 0;        // rows
    std::vector<std::uint8_t> bits;  // height rows of RowBytes(width) bytes each
};

inline std::uint32_t RowBytes(std::uint32_t width) { return (width + 7) / 8; }

inline Picture BlankPicture(std::uint32_t width, std::uint32_t height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.bits.assign(static_cast<size_t>(RowBytes(width)) * height, 0);
    return picture;
}

inline std::uint8_t* PictureRow(Picture& picture, std::uint32_t y) {
    return picture.bits.data() + static_cast<size_t>(RowBytes(picture.width)) * y;
}

inline const std::uint8_t* PictureRow(const Picture& picture, std::uint32_t y) {
    return picture.bits.data() + static_cast<size_t>(RowBytes(picture.width)) * y;
}

inline void SetDot(Picture& picture, std::uint32_t x, std::uint32_t y) {
    if (x < picture.width && y < picture.height)
        PictureRow(picture, y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

// One byte a pixel, 0 black to 255 white, row after row.
struct GreyPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> values;
};

inline GreyPicture WhiteGreyPicture(std::uint32_t width, std::uint32_t height) {
    return {width, height, std::vector<std::uint8_t>(static_cast<size_t>(width) * height, 255)};
}
