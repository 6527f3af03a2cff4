// Label pictures.
#include "qxlmkjob/label_pages.h"

#include <algorithm>
#include <vector>

#include "common/file_io.h"
#include "common/media.h"
#include "common/netpbm.h"
#include "common/text.h"
#include "qxlmkjob/font.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n')) {
            if (text[i] == '\\') ++i;
            lines.emplace_back();
        } else {
            lines.back() += text[i];
        }
    }
    return lines;
}

// The label on its raster lines: white beyond the label's own dots.
Picture OnLines(const Picture& label, std::uint32_t lineDots) {
    Picture out = BlankPicture(lineDots, label.height);
    for (std::uint32_t y = 0; y < label.height; ++y)
        std::copy_n(PictureRow(label, y), RowBytes(label.width), PictureRow(out, y));
    return out;
}

// "36 mm media prints 424" or "a raster line holds 720 (--line-bytes)".
std::string Limit(const LabelSpace& space) {
    if (PrintableDots(space.mediaWidth) <= space.lineDots)
        return Format("%u mm media prints %u (--media-width)", space.mediaWidth, space.printable);
    return Format("a raster line holds %u (--line-bytes)", space.lineDots);
}

// Dots a text of columns characters takes across, margins included.
std::uint32_t TextWidth(size_t columns, std::uint32_t scale) {
    return static_cast<std::uint32_t>(columns) * FONT_CELL_WIDTH * scale + 8 * scale - scale;
}

}  // namespace

bool TextPicture(const std::string& text, const LabelSpace& space, std::uint32_t scale,
                 Picture& out, std::string& error) {
    const std::uint32_t width = space.printable;
    std::vector<std::string> lines = SplitLines(text);
    size_t columns = 0;
    for (const std::string& line : lines) columns = std::max(columns, line.size());
    if (columns == 0) {
        error = "--text: the text is empty";
        return false;
    }
    if (scale == 0) {
        for (scale = MAX_TEXT_SCALE; scale > 1 && TextWidth(columns, scale) > width; --scale) {
        }
    }
    if (TextWidth(columns, scale) > width) {
        error = Format("--text: %zu characters at size %u need %u dots; %s", columns, scale,
                       TextWidth(columns, scale), Limit(space).c_str());
        return false;
    }
    const std::uint32_t margin = 4 * scale;
    const std::uint32_t height =
        2 * margin + static_cast<std::uint32_t>(lines.size()) * FONT_CELL_HEIGHT * scale - scale;
    Picture label = BlankPicture(width, height);
    for (size_t i = 0; i < lines.size(); ++i)
        DrawText(label, margin, margin + static_cast<std::uint32_t>(i) * FONT_CELL_HEIGHT * scale,
                 lines[i], scale);
    out = OnLines(label, space.lineDots);
    return true;
}

Picture PatternPicture(const LabelSpace& space, std::uint32_t lines, std::uint32_t pageNumber) {
    const std::uint32_t width = space.printable;
    Picture picture = BlankPicture(width, lines);
    for (std::uint32_t y = 0; y < lines; ++y) {
        if ((y / 8) % 6 == 5) continue;  // a blank band: zero raster lines
        for (std::uint32_t x = 0; x < width; ++x)
            if ((x + y) % 32 < 4) SetDot(picture, x, y);
    }
    const std::string label = Format("PAGE %u", pageNumber);
    const std::uint32_t scale = 3;
    const std::uint32_t boxWidth = TextWidth(label.size(), scale);
    const std::uint32_t boxHeight = FONT_CELL_HEIGHT * scale + 7 * scale;
    if (boxWidth + 16 > width || boxHeight + 16 > lines) return OnLines(picture, space.lineDots);
    for (std::uint32_t y = 16; y < 16 + boxHeight; ++y)
        std::fill_n(PictureRow(picture, y) + 2, RowBytes(boxWidth), 0);
    DrawText(picture, 16 + 4 * scale, 16 + 4 * scale, label, scale);
    return OnLines(picture, space.lineDots);
}

bool ImagePicture(const std::string& path, const LabelSpace& space, Picture& out,
                  std::string& error) {
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file, error)) return false;
    if (file.empty()) {
        error = Format("%s is empty", path.c_str());
        return false;
    }
    Picture image;
    if (!ReadNetpbm(file, image, error)) {
        error = path + ": " + error;
        return false;
    }
    if (image.width > space.printable) {
        error = Format("%s is %u dots wide; %s", path.c_str(), image.width, Limit(space).c_str());
        return false;
    }
    out = OnLines(image, space.lineDots);
    return true;
}
