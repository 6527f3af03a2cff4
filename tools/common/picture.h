// A one-bit picture: rows packed most significant bit first, a set bit a black
// dot, the way raster lines and PBM files hold them.
#pragma once

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
