// The printer's view of a command stream, drawn.
#include "common/render.h"

#include <algorithm>

#include "common/commands.h"
#include "common/packbits.h"
#include "common/text.h"

namespace {

// Bounds that keep a hostile stream from asking for unbounded memory: a line
// holds at most what a G count can say, a page at most this many bytes of picture.
constexpr size_t LINE_LIMIT = 65535;
constexpr size_t PAGE_BYTE_LIMIT = 64u << 20;

// The raster lines of the page in progress, packed one after another.
struct PageInProgress {
    std::vector<std::uint8_t> data;
    std::vector<std::pair<size_t, size_t>> rows;  // offset and length in data
    std::uint32_t widest = RENDER_MIN_WIDTH;
    std::uint32_t lines = 0;
    bool tooLarge = false;

    void add(const std::uint8_t* row, size_t length) {
        ++lines;
        if (tooLarge) return;
        widest = std::max<std::uint32_t>(widest, static_cast<std::uint32_t>(length * 8));
        if (static_cast<std::uint64_t>(lines) * RowBytes(widest) > PAGE_BYTE_LIMIT) {
            tooLarge = true;
            data.clear();
            rows.clear();
            return;
        }
        rows.emplace_back(data.size(), length);
        data.insert(data.end(), row, row + length);
    }

    Picture draw() const {
        if (tooLarge || lines == 0) return {};
        Picture picture = BlankPicture(widest, lines);
        for (std::uint32_t y = 0; y < lines; ++y)
            std::copy_n(data.data() + rows[y].first, rows[y].second, PictureRow(picture, y));
        return picture;
    }
};

struct Printer {
    Rendering out;
    PageInProgress page;
    bool compressed = false;
    std::vector<std::uint8_t> line;

    void rasterLine(const std::uint8_t* at, const Command& command, size_t offset) {
        const std::uint32_t n = RasterDataLength(at, command);
        line.clear();
        if (!compressed) {
            line.assign(at + 3, at + 3 + n);
        } else if (!UnpackBits(at + 3, n, line, LINE_LIMIT)) {
            out.notes.push_back(
                Format("offset %zu: a compressed raster line whose PackBits data is "
                       "cut short or too long; drawn as far as it goes",
                       offset));
        }
        page.add(line.data(), line.size());
    }

    void endPage(size_t offset) {
        RenderedPage done{page.draw(), page.lines, false, offset};
        if (page.lines == 0 && !out.pages.empty()) {
            done.picture = out.pages.back().picture;
            done.reprint = true;
        }
        if (page.tooLarge)
            out.notes.push_back(Format("page %zu is too large to draw (%u raster lines)",
                                       out.pages.size() + 1, page.lines));
        out.pages.push_back(std::move(done));
        page = PageInProgress();
    }

    void reset(size_t offset) {
        ++out.resets;
        compressed = false;
        if (page.lines != 0)
            out.notes.push_back(
                Format("offset %zu: ESC @ initialised the printer; the %u raster lines "
                       "of the page in progress were dropped",
                       offset, page.lines));
        page = PageInProgress();
    }
};

}  // namespace

Rendering RenderStream(const std::uint8_t* data, size_t length) {
    Printer printer;
    size_t at = 0;
    while (at < length) {
        const Command command = ReadCommand(data + at, length - at);
        if (command.cutShort) {
            printer.out.notes.push_back(
                Format("offset %zu: the data ends inside %s", at, command.name));
            break;
        }
        switch (command.kind) {
            case CommandKind::Raster: printer.rasterLine(data + at, command, at); break;
            case CommandKind::ZeroRaster: printer.page.add(nullptr, 0); break;
            case CommandKind::Compression: printer.compressed = data[at + 1] != 0; break;
            case CommandKind::Reset: printer.reset(at); break;
            case CommandKind::StatusRequest: ++printer.out.statusRequests; break;
            case CommandKind::PageEnd:
            case CommandKind::LastPageEnd: printer.endPage(at); break;
            default: break;
        }
        at += command.length;
    }
    if (printer.page.lines != 0)
        printer.out.notes.push_back(Format(
            "%u raster lines after the last page end were never printed", printer.page.lines));
    return std::move(printer.out);
}
