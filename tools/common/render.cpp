// The printer's view of a command stream, drawn.
#include "common/render.h"

#include <algorithm>

#include "common/commands.h"
#include "common/media.h"
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
    std::uint32_t widest = 0;                     // dots of the longest line
    std::uint32_t inked = 0;                      // dots up to the rightmost black one
    std::uint32_t lines = 0;
    bool tooLarge = false;

    void add(const std::uint8_t* row, size_t length) {
        ++lines;
        if (tooLarge) return;
        widest = std::max<std::uint32_t>(widest, static_cast<std::uint32_t>(length * 8));
        size_t last = length;
        while (last != 0 && row[last - 1] == 0) --last;
        if (last != 0) {
            std::uint32_t dots = static_cast<std::uint32_t>(last * 8);
            for (std::uint8_t byte = row[last - 1]; (byte & 1) == 0; byte >>= 1) --dots;
            inked = std::max(inked, dots);
        }
        if (static_cast<std::uint64_t>(lines) * RowBytes(widest) > PAGE_BYTE_LIMIT) {
            tooLarge = true;
            data.clear();
            rows.clear();
            return;
        }
        rows.emplace_back(data.size(), length);
        data.insert(data.end(), row, row + length);
    }

    // As wide as the medium prints, or wider to show dots beyond it.
    std::uint32_t width(std::uint32_t printable) const {
        if (printable == 0) return std::max(widest, HEAD_DOTS);
        return inked > printable ? widest : printable;
    }

    Picture draw(std::uint32_t drawnWidth) const {
        if (tooLarge || lines == 0) return {};
        Picture picture = BlankPicture(drawnWidth, lines);
        const size_t rowBytes = RowBytes(drawnWidth);
        for (std::uint32_t y = 0; y < lines; ++y)
            std::copy_n(data.data() + rows[y].first, std::min(rows[y].second, rowBytes),
                        PictureRow(picture, y));
        return picture;
    }
};

struct Printer {
    Rendering out;
    PageInProgress page;
    bool compressed = false;
    std::uint8_t loadedMedia = 0;  // the medium, when the caller knows it
    std::uint8_t pageMedia = 0;    // the page's media information, else
    std::vector<std::uint8_t> line;

    // ESC i z: the medium the page asks for (its width in the fourth parameter).
    void mediaInformation(const std::uint8_t* at, const Command& command) {
        if (command.head == 3 && at[2] == 'z') pageMedia = at[5];
    }

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
        const std::uint8_t media = loadedMedia != 0 ? loadedMedia : pageMedia;
        const std::uint32_t printable = PrintableDots(media);
        if (printable != 0 && page.inked > printable)
            out.notes.push_back(
                Format("label %zu has black dots up to dot %u; %u mm media prints %u",
                       out.pages.size() + 1, page.inked, media, printable));
        RenderedPage done{page.draw(page.width(printable)), page.lines, false, offset};
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
        pageMedia = 0;
        if (page.lines != 0)
            out.notes.push_back(
                Format("offset %zu: ESC @ initialised the printer; the %u raster lines "
                       "of the page in progress were dropped",
                       offset, page.lines));
        page = PageInProgress();
    }
};

}  // namespace

Rendering RenderStream(const std::uint8_t* data, size_t length, std::uint8_t mediaWidth) {
    Printer printer;
    printer.loadedMedia = mediaWidth;
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
            case CommandKind::Other: printer.mediaInformation(data + at, command); break;
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
