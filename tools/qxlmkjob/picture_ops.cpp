// Rotation, box-filter scaling, error diffusion and threshold.
#include "qxlmkjob/picture_ops.h"

#include <algorithm>
#include <vector>

GreyPicture Rotated(const GreyPicture& picture, std::uint32_t degrees) {
    const std::uint32_t w = picture.width, h = picture.height;
    if (degrees % 360 == 0) return picture;
    const bool sideways = degrees % 180 == 90;
    GreyPicture out = WhiteGreyPicture(sideways ? h : w, sideways ? w : h);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint32_t nx = x, ny = y;
            if (degrees == 90) nx = h - 1 - y, ny = x;
            if (degrees == 180) nx = w - 1 - x, ny = h - 1 - y;
            if (degrees == 270) nx = y, ny = w - 1 - x;
            out.values[static_cast<size_t>(ny) * out.width + nx] =
                picture.values[static_cast<size_t>(y) * w + x];
        }
    return out;
}

GreyPicture Scaled(const GreyPicture& picture, std::uint32_t width) {
    const std::uint64_t sw = picture.width, sh = picture.height;
    const std::uint32_t height =
        static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (sh * width + sw / 2) / sw));
    GreyPicture out = WhiteGreyPicture(width, height);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint64_t y0 = y * sh / height, y1 = std::max(y0 + 1, (y + 1) * sh / height);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint64_t x0 = x * sw / width, x1 = std::max(x0 + 1, (x + 1) * sw / width);
            std::uint64_t sum = 0;
            for (std::uint64_t sy = y0; sy < y1; ++sy)
                for (std::uint64_t sx = x0; sx < x1; ++sx) sum += picture.values[sy * sw + sx];
            out.values[static_cast<size_t>(y) * width + x] =
                static_cast<std::uint8_t>(sum / ((y1 - y0) * (x1 - x0)));
        }
    }
    return out;
}

Picture Dithered(const GreyPicture& picture) {
    const std::uint32_t w = picture.width;
    Picture out = BlankPicture(w, picture.height);
    // The error carried to this row and the next, one slot of margin each side.
    std::vector<int> here(w + 2, 0), next(w + 2, 0);
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        std::fill(next.begin(), next.end(), 0);
        for (std::uint32_t x = 0; x < w; ++x) {
            const int value = picture.values[static_cast<size_t>(y) * w + x] + here[x + 1] / 16;
            const bool black = value < 128;
            if (black) SetDot(out, x, y);
            const int error = value - (black ? 0 : 255);
            here[x + 2] += error * 7;
            next[x] += error * 3;
            next[x + 1] += error * 5;
            next[x + 2] += error;
        }
        std::swap(here, next);
    }
    return out;
}

Picture Thresholded(const GreyPicture& picture, std::uint32_t percent) {
    Picture out = BlankPicture(picture.width, picture.height);
    for (std::uint32_t y = 0; y < picture.height; ++y)
        for (std::uint32_t x = 0; x < picture.width; ++x)
            if ((255u - picture.values[static_cast<size_t>(y) * picture.width + x]) * 100 >=
                percent * 255)
                SetDot(out, x, y);
    return out;
}
