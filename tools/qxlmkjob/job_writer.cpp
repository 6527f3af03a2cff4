// Command streams and spool files, built with the monitor's own record layouts.
#include "qxlmkjob/job_writer.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/packbits.h"
#include "rebuild/spool_file.h"
#include "rebuild/tape_table.h"
#include "core/job_info.h"
#include "core/printer_commands.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::initializer_list<std::uint8_t> bytes) { out.insert(out.end(), bytes); }

void AppendRaster(Bytes& out, const Picture& picture, bool compress) {
    const std::uint32_t rowBytes = RowBytes(picture.width);
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = PictureRow(picture, y);
        if (std::all_of(row, row + rowBytes, [](std::uint8_t b) { return b == 0; })) {
            out.push_back('Z');
            continue;
        }
        Bytes data = compress ? PackBits(row, rowBytes) : Bytes(row, row + rowBytes);
        Append(out, {'G', static_cast<std::uint8_t>(data.size() & 0xFF),
                     static_cast<std::uint8_t>(data.size() >> 8)});
        out.insert(out.end(), data.begin(), data.end());
    }
}

// A page's commands and raster lines, up to its end byte. Spool records end
// each page with FF (the rebuild makes the job's very last byte SUB, whatever
// the order) and leave out the media information, which the rebuild's walkers
// do not step over.
Bytes PageBody(const Picture& picture, const JobLayout& layout, size_t index, bool last,
               bool forSpool) {
    Bytes body;
    Append(body, {CMD_ESC, 'i', 'a', 0x01});  // raster mode
    if (!forSpool) {
        const std::uint32_t lines = picture.height;
        Append(body,
               {CMD_ESC, 'i', 'z', 0x86, layout.mediaType, layout.mediaWidth, 0x00,
                static_cast<std::uint8_t>(lines), static_cast<std::uint8_t>(lines >> 8),
                static_cast<std::uint8_t>(lines >> 16), static_cast<std::uint8_t>(lines >> 24),
                static_cast<std::uint8_t>(index == 0 ? 0 : 1), 0x00});
    }
    Append(body, {CMD_ESC, 'i', 'M', 0x40});        // mode
    Append(body, {CMD_ESC, 'i', 'K', 0x08});        // cut parameter
    Append(body, {CMD_ESC, 'i', 'd', 0x00, 0x00});  // margin
    Append(body, {'M', static_cast<std::uint8_t>(layout.compress ? 0x02 : 0x00)});
    AppendRaster(body, picture, layout.compress);
    body.push_back(last && !forSpool ? CMD_SUB : CMD_FF);
    return body;
}

Bytes JobInfo(const JobLayout& layout, size_t index, size_t pageCount, size_t pageBytes) {
    JobInfoBlock block;
    std::memset(&block, 0, sizeof block);
    std::memcpy(block.introducer, JOB_INFO_INTRODUCER, sizeof block.introducer);
    block.mediaType = layout.mediaType;
    block.mediaWidth = layout.mediaWidth;
    block.mediaExtra = layout.mediaExtra;
    block.partCount = 1;
    block.checkFlags = layout.checkFlags;
    block.partIndex = 1;
    block.pageNumber = static_cast<std::uint16_t>(index + 1);
    block.pageTotal = static_cast<std::uint16_t>(pageCount);
    block.pageTotalShown = static_cast<std::uint16_t>(pageCount);
    block.reserved22 = 1;
    block.pageBytes = static_cast<std::uint32_t>(pageBytes);
    std::strncpy(block.caption, layout.caption.c_str(), sizeof block.caption - 1);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
    return Bytes(bytes, bytes + sizeof block);
}

}  // namespace

Bytes CommandStream(const std::vector<Picture>& pages, const JobLayout& layout) {
    // ESC @ initialises the printer; the monitor zeroes ESC i c's first parameter.
    Bytes prologue(std::begin(RESET_COMMAND), std::end(RESET_COMMAND));
    Append(prologue, {CMD_ESC, 'i', 'c', 0x05, 0x00, 0x00, 0x00, 0x00});
    Bytes out;
    for (size_t i = 0; i < pages.size(); ++i) {
        Bytes body = PageBody(pages[i], layout, i, i + 1 == pages.size(), false);
        if (i == 0) body.insert(body.begin(), prologue.begin(), prologue.end());
        // The page's bytes at the port: what its progress is measured against.
        Bytes block = JobInfo(layout, i, pages.size(), body.size());
        out.insert(out.end(), block.begin(), block.end());
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

bool PaperIdFor(const JobLayout& layout, std::int16_t& paperId) {
    // The one-piece run's ids, then those the two-width media tells apart.
    std::vector<std::int16_t> candidates;
    for (std::uint32_t i = 0; i < TAPE_WIDTH_COUNT; ++i)
        candidates.push_back(static_cast<std::int16_t>(PAPER_RUNS[0].first + i));
    candidates.insert(candidates.end(), std::begin(PAPER_IDS_12MM), std::end(PAPER_IDS_12MM));
    candidates.insert(candidates.end(), std::begin(PAPER_IDS_18MM), std::end(PAPER_IDS_18MM));
    for (std::int16_t candidate : candidates) {
        std::uint32_t pieces = 0;
        std::uint8_t width = LookupTapeWidth(layout.mediaType, candidate, &pieces);
        if (pieces == 1 &&
            (width == layout.mediaWidth || layout.mediaType == MEDIA_TYPE_EXPLICIT_WIDTH)) {
            paperId = candidate;
            return true;
        }
    }
    return false;
}

Bytes SpoolFile(const std::vector<Picture>& pages, const JobLayout& layout, std::int16_t paperId) {
    Bytes out;
    for (size_t i = 0; i < pages.size(); ++i) {
        Bytes body = PageBody(pages[i], layout, i, i + 1 == pages.size(), true);
        SpoolRecordHeader header;
        std::memset(&header, 0, sizeof header);
        header.headerSize = SPOOL_HEADER_SIZE;
        header.recordSize = static_cast<std::uint32_t>(SPOOL_HEADER_SIZE + body.size());
        header.paperId = paperId;
        header.copies = layout.copies;
        header.collate = layout.collate ? 1 : 0;
        header.reverseOrder = layout.reverse ? 1 : 0;
        header.explicitWidth = layout.mediaWidth;
        header.mediaType = layout.mediaType;
        header.mediaExtra = layout.mediaExtra;
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(&header);
        out.insert(out.end(), bytes, bytes + sizeof header);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}
