// Spool file listing through the monitor's spool index and rebuild.
#include "qxlinspect/spool_listing.h"

#include <algorithm>
#include <cstring>

#include "common/text.h"
#include "qxlinspect/block_fields.h"
#include "qxlinspect/stream_listing.h"
#include "rebuild/spool_file.h"
#include "rebuild/tape_table.h"
#include "rebuild/walkers.h"
#include "core/job_info.h"
#include "core/printer_commands.h"

namespace {

// Beyond this many comparisons the pages are not matched to their records.
constexpr std::uint64_t MATCH_LIMIT = 20000000;
constexpr size_t PAGES_LISTED = 200;

struct Piece {
    size_t record;  // 1-based
    size_t piece;   // 1-based
    size_t offset, length;
};

std::vector<Piece> IndexPieces(const Bytes& image, u32 recordCount) {
    SpoolIndex index{};
    index.recordCount = recordCount;
    const SpoolRecordHeader first = ReadSpoolHeader(image.data(), 0);
    LookupTapeWidth(first.mediaType, first.paperId, &index.pieceCount);
    const u32 entries = SpoolIndexEntries(recordCount, index.pieceCount);
    if (entries == 0) return {};
    std::vector<u32> recordOffsets(recordCount + 1), pieceOffsets(entries), pieceLengths(entries);
    index.recordOffsets = recordOffsets.data();
    index.pieceOffsets = pieceOffsets.data();
    index.pieceLengths = pieceLengths.data();
    IndexSpoolImage(image.data(), &index);
    std::vector<Piece> pieces;
    for (u32 r = 0; r < recordCount; ++r)
        for (u32 p = 0; p < index.pieceCount; ++p) {
            const u32 j = r * index.piecesPerRecord + p;
            pieces.push_back({r + 1, p + 1, pieceOffsets[j], pieceLengths[j]});
        }
    return pieces;
}

// A page carries a piece when it ends with the piece's data; the job's very
// last byte was made SUB by the rebuild.
bool Carries(const u8* page, size_t pageLength, const Bytes& image, const Piece& piece) {
    if (piece.length == 0 || pageLength < piece.length) return false;
    const u8* tail = page + pageLength - piece.length;
    const u8* data = image.data() + piece.offset;
    if (std::memcmp(tail, data, piece.length - 1) != 0) return false;
    return tail[piece.length - 1] == data[piece.length - 1] || tail[piece.length - 1] == CMD_SUB;
}

std::string RecordsListing(const Bytes& spool) {
    std::string out;
    size_t offset = 0;
    for (size_t record = 1; offset < spool.size(); ++record) {
        const SpoolRecordHeader header = ReadSpoolHeader(spool.data(), static_cast<u32>(offset));
        const u32 dataLength = header.recordSize - SPOOL_HEADER_SIZE;
        const CommandBytes bytes =
            MeasureCommands(spool.data() + offset + SPOOL_HEADER_SIZE, dataLength);
        Appendf(out, "record %zu at offset %zu:\n", record, offset);
        out += SpoolHeaderFields(spool.data() + offset, "    ");
        Appendf(out,
                "    data           %u bytes: %u of control commands, %u of raster (as the rebuild "
                "measures them)\n",
                dataLength, bytes.control, bytes.raster);
        offset += header.recordSize;
    }
    return out;
}

std::string PagesListing(const MonitorRebuild& rebuild, const MonitorScan& scan, u32 recordCount) {
    const std::vector<Piece> pieces = IndexPieces(rebuild.image, recordCount);
    const size_t pages = scan.blocks.size();
    const bool match =
        static_cast<std::uint64_t>(pages) * std::max<size_t>(pieces.size(), 1) <= MATCH_LIMIT;
    const bool manyPieces = pieces.size() > recordCount;
    std::vector<size_t> copiesSoFar(pieces.size(), 0);
    std::vector<std::string> perCopy;
    std::string out, order;
    size_t last = pieces.size();  // the piece of the page before
    for (size_t i = 0; i < pages && match; ++i) {
        const size_t start = scan.blocks[i] + JOB_INFO_SIZE;
        const size_t end = i + 1 < pages ? scan.blocks[i + 1] : rebuild.stream.size();
        JobInfoBlock block;
        std::memcpy(&block, rebuild.stream.data() + scan.blocks[i], sizeof block);
        size_t found = pieces.size();
        for (size_t j = 0; j < pieces.size() && found == pieces.size(); ++j)
            if (Carries(rebuild.stream.data() + start, end - start, rebuild.image, pieces[j]))
                found = j;
        const bool again = found == pieces.size();
        if (again) found = last;
        if (found == pieces.size()) {
            if (i < PAGES_LISTED) Appendf(out, "  page %zu: no record's data\n", i + 1);
            continue;
        }
        const size_t copy = ++copiesSoFar[found];
        const Piece& piece = pieces[found];
        std::string name =
            manyPieces ? Format("%zu.%zu", piece.record, piece.piece) : Format("%zu", piece.record);
        if (i < PAGES_LISTED)
            Appendf(out, "  page %zu: record %s, copy %zu; pageBytes %u, checkFlags 0x%04x%s\n",
                    i + 1, name.c_str(), copy, block.pageBytes, block.checkFlags,
                    again ? "; control commands and a form feed only: the printer prints the "
                            "raster it holds again"
                          : "");
        if (perCopy.size() < copy) perCopy.resize(copy);
        perCopy[copy - 1] += " " + name;
        order += " " + name;
        last = found;
    }
    if (!match) Appendf(out, "  %zu pages: too many to match with their records\n", pages);
    if (pages > PAGES_LISTED && match) Appendf(out, "  ... %zu pages in all\n", pages);
    for (size_t c = 0; c < perCopy.size() && c < PAGES_LISTED; ++c)
        Appendf(out, "  copy %zu:%s\n", c + 1, perCopy[c].c_str());
    if (match)
        Appendf(out, "  page order:%s\n",
                order.size() > 4000 ? " (too long to show)" : order.c_str());
    return out;
}

}  // namespace

std::string SpoolListing(const Bytes& spool, bool withRebuilt, size_t outputLimit) {
    const u32 recordCount = CountSpoolRecords(spool.data(), static_cast<u32>(spool.size()));
    if (recordCount == 0) return "";
    std::string out = RecordsListing(spool);
    const MonitorRebuild rebuild = RebuildAsMonitor(spool, outputLimit);
    if (!rebuild.rebuilt) {
        out +=
            "\nthe rebuild gives up: the monitor prints nothing of this job and sends "
            "NotifySystemError\n";
        return out;
    }
    const MonitorScan scan = ScanAsMonitor(rebuild.stream);
    Appendf(out, "\nthe monitor's rebuild at the job end: %zu page%s, %zu bytes\n",
            scan.blocks.size(), scan.blocks.size() == 1 ? "" : "s", rebuild.stream.size());
    out += PagesListing(rebuild, scan, recordCount);
    if (withRebuilt) out += "\nthe rebuilt stream:\n" + StreamListing(rebuild.stream, scan);
    out += "\nthe rebuilt stream through the monitor's scanner, ";
    out += StreamSummary(rebuild.stream, scan);
    return out;
}
