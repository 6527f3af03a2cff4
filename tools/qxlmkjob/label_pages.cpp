// Label pictures: patterns and pictures.
#include "qxlmkjob/label_pages.h"

#include <algorithm>
#include <vector>

#include "common/file_io.h"
#include "common/media.h"
#include "common/netpbm.h"
#include "common/text.h"
#include "qxlmkjob/font.h"
#include "qxlmkjob/picture_ops.h"

#if defined(QXL_WITH_PNG)
#include "common/png_file.h"
#endif

namespace {

bool IsPng(const std::vector<std::uint8_t>& file) {
    static const std::uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return file.size() >= 8 && std::equal(SIGNATURE, SIGNATURE + 8, file.begin());
}

bool ReadPicture(const std::string& path, GreyPicture& picture, std::string& error) {
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file, error)) return false;
    if (file.empty()) {
        error = Format("%s is empty", path.c_str());
        return false;
    }
    bool read = false;
    if (IsPng(file)) {
#if defined(QXL_WITH_PNG)
        read = ReadPng(file, picture, error);
#else
        error = "a PNG picture needs the native build (libpng); this one reads PBM and PGM";
#endif
    } else {
        read = ReadNetpbm(file, picture, error);
        if (!read && error.rfind("not a PBM", 0) == 0) error = "not a PNG, PBM or PGM file";
    }
    if (!read) error = path + ": " + error;
    return read;
}

}  // namespace

std::string SpaceLimit(const LabelSpace& space) {
    if (PrintableDots(space.mediaWidth) <= space.lineDots)
        return Format("%u mm media prints %u (--media-width)", space.mediaWidth, space.printable);
    return Format("a raster line holds %u (--line-bytes)", space.lineDots);
}

Picture OnLines(const Picture& label, std::uint32_t lineDots, std::uint32_t x) {
    Picture out = BlankPicture(lineDots, label.height);
    for (std::uint32_t y = 0; y < label.height; ++y) {
        if (x == 0) {
            std::copy_n(PictureRow(label, y), RowBytes(label.width), PictureRow(out, y));
            continue;
        }
        for (std::uint32_t dx = 0; dx < label.width; ++dx)
            if (PictureRow(label, y)[dx / 8] & (0x80 >> (dx % 8))) SetDot(out, x + dx, y);
    }
    return out;
}

Picture PatternPicture(const LabelSpace& space, std::uint32_t lines, std::uint32_t pageNumber) {
    const std::uint32_t width = space.printable;
    Picture picture = BlankPicture(width, lines);
    for (std::uint32_t y = 0; y < lines; ++y) {
        if ((y / 8) % 6 == 5) continue;  // a blank band: zero raster lines
        for (std::uint32_t x = 0; x < width; ++x)
            if ((x + y) % 32 < 4) SetDot(picture, x, y);
    }
    // "PAGE n" in capitals, in a box of the built-in font's cells without
    // their descender rows.
    const std::string label = Format("PAGE %u", pageNumber);
    const std::uint32_t scale = 3, capitalCell = FONT_ASCENT + 1;
    const std::uint32_t boxWidth =
        static_cast<std::uint32_t>(label.size()) * FONT_CELL_WIDTH * scale + 7 * scale;
    const std::uint32_t boxHeight = capitalCell * scale + 7 * scale;
    if (boxWidth + 16 > width || boxHeight + 16 > lines) return OnLines(picture, space.lineDots);
    for (std::uint32_t y = 16; y < 16 + boxHeight; ++y)
        std::fill_n(PictureRow(picture, y) + 2, RowBytes(boxWidth), 0);
    DrawText(picture, 16 + 4 * scale, 16 + 4 * scale, label, scale);
    return OnLines(picture, space.lineDots);
}

bool ImagePicture(const std::string& path, const LabelSpace& space, const PictureStyle& style,
                  Picture& out, std::string& error) {
    GreyPicture grey;
    if (!ReadPicture(path, grey, error)) return false;
    grey = Rotated(grey, style.rotate);
    if (grey.width > space.printable && style.fit == Fit::Never) {
        error = Format("%s is %u dots wide%s; %s", path.c_str(), grey.width,
                       style.rotate != 0 ? " turned" : "", SpaceLimit(space).c_str());
        return false;
    }
    if (style.fit == Fit::Fill || (style.fit == Fit::Shrink && grey.width > space.printable))
        grey = Scaled(grey, space.printable);
    const Picture dots = style.threshold != 0 ? Thresholded(grey, style.threshold) : Dithered(grey);
    out = OnLines(dots, space.lineDots, style.centre ? (space.printable - dots.width) / 2 : 0);
    return true;
}
