// Command stream listing, merged with the scanner's record of the same stream.
#include "qxlinspect/stream_listing.h"

#include "common/commands.h"
#include "common/text.h"
#include "qxlinspect/block_fields.h"

namespace {

const char* KindName(SegmentKind kind) {
    switch (kind) {
        case SEG_PLAIN: return "SEG_PLAIN";
        case SEG_PAGE_END: return "SEG_PAGE_END";
        case SEG_LAST_PAGE: return "SEG_LAST_PAGE";
        case SEG_SPLIT: return "SEG_SPLIT";
    }
    return "?";
}

const char* KindMeaning(SegmentKind kind) {
    switch (kind) {
        case SEG_PLAIN: return "sent as it stands";
        case SEG_PAGE_END: return "ends a page";
        case SEG_LAST_PAGE: return "ends the job's last page";
        case SEG_SPLIT: return "split at the raster limit";
    }
    return "?";
}

// Consecutive raster lines (or unknown bytes), shown as one line.
struct Run {
    size_t start = 0;
    size_t firstLine = 0;
    size_t gLines = 0, zLines = 0, dataBytes = 0, unknown = 0;
    bool active() const { return gLines + zLines + unknown != 0; }
};

struct Lister {
    Lister(const Bytes& s, const MonitorScan& m) : stream(s), scan(m) {}

    const Bytes& stream;
    const MonitorScan& scan;
    std::string out;
    Run run;
    size_t nextSegment = 0, nextEdit = 0, segmentNumber = 0;
    size_t page = 1, pageLines = 0;
    bool compressed = false;

    void flushRun() {
        if (!run.active()) return;
        if (run.unknown != 0) {
            Appendf(out, "%8zu  %zu unknown byte%s: no command begins with %s\n", run.start,
                    run.unknown, run.unknown == 1 ? "" : "s", run.unknown == 1 ? "it" : "them");
        } else {
            size_t lines = run.gLines + run.zLines;
            Appendf(out,
                    "%8zu  raster lines %zu-%zu of page %zu: %zu G (%zu data bytes), %zu Z; %s\n",
                    run.start, run.firstLine, run.firstLine + lines - 1, page, run.gLines,
                    run.dataBytes, run.zLines, compressed ? "compressed" : "plain");
        }
        run = Run();
    }

    // Segment ends and edits up to offset end, in stream order.
    void events(size_t end) {
        while (nextEdit < scan.edits.size() && scan.edits[nextEdit].offset < end) {
            const ScanEdit& edit = scan.edits[nextEdit++];
            Appendf(out, "          the monitor edits offset %zu: 0x%02x becomes 0x%02x\n",
                    edit.offset, edit.before, edit.after);
        }
        while (nextSegment < scan.segments.size() &&
               scan.segments[nextSegment].start + scan.segments[nextSegment].length <= end) {
            flushRun();
            const ScanSegment& s = scan.segments[nextSegment++];
            Appendf(out, "          -- segment %zu: offsets %zu-%zu, %zu bytes, %s (%s)%s\n",
                    ++segmentNumber, s.start, s.start + s.length - 1, s.length, KindMeaning(s.kind),
                    KindName(s.kind),
                    s.afterJobEnd
                        ? "; after the job's end: sent only if it comes in the SUB's write"
                        : "");
        }
    }

    void raster(size_t at, const Command& command) {
        if (run.unknown != 0) flushRun();
        if (!run.active()) {
            run.start = at;
            run.firstLine = pageLines + 1;
        }
        ++pageLines;
        if (command.kind == CommandKind::ZeroRaster) {
            ++run.zLines;
        } else {
            ++run.gLines;
            run.dataBytes += RasterDataLength(stream.data() + at, command);
        }
    }

    void command(size_t at, const Command& command) {
        const u8* data = stream.data() + at;
        if (command.kind == CommandKind::Unknown) {
            if (run.active() && run.unknown == 0) flushRun();
            if (!run.active()) run.start = at;
            ++run.unknown;
            return;
        }
        flushRun();
        if (command.kind == CommandKind::JobInfo && !command.cutShort) {
            Appendf(out, "%8zu  job information block: taken out by the monitor, never sent\n", at);
            out += JobInfoFields(data, "            ");
            return;
        }
        Appendf(out, "%8zu  %s\n", at, DescribeCommand(data, stream.size() - at, command).c_str());
        if (command.cutShort) return;
        if (command.kind == CommandKind::Compression) compressed = data[1] != 0;
        if (command.kind == CommandKind::Reset) compressed = false;
        if (command.kind == CommandKind::PageEnd || command.kind == CommandKind::LastPageEnd) {
            Appendf(out, "          page %zu ends: %zu raster lines\n", page, pageLines);
            ++page;
            pageLines = 0;
        }
    }
};

}  // namespace

std::string StreamListing(const Bytes& stream, const MonitorScan& scan) {
    Lister lister(stream, scan);
    lister.out = "  offset  command\n";
    for (size_t at = 0; at < stream.size();) {
        const Command command = ReadCommand(stream.data() + at, stream.size() - at);
        const bool isRaster =
            command.kind == CommandKind::Raster || command.kind == CommandKind::ZeroRaster;
        if (isRaster && !command.cutShort)
            lister.raster(at, command);
        else
            lister.command(at, command);
        at += command.cutShort ? stream.size() - at : command.length;
        lister.events(at);
    }
    lister.flushRun();
    return lister.out;
}

std::string StreamSummary(const Bytes& stream, const MonitorScan& scan) {
    std::vector<size_t> pageLines(1, 0);
    for (size_t at = 0; at < stream.size();) {
        const Command command = ReadCommand(stream.data() + at, stream.size() - at);
        if (command.cutShort) break;
        if (command.kind == CommandKind::Raster || command.kind == CommandKind::ZeroRaster)
            ++pageLines.back();
        if (command.kind == CommandKind::PageEnd || command.kind == CommandKind::LastPageEnd)
            pageLines.push_back(0);
        at += command.length;
    }
    const size_t pages = pageLines.size() - 1;
    std::string out = "summary:\n";
    Appendf(out, "  %zu page%s%s", pages, pages == 1 ? "" : "s", pages == 0 ? "" : ":");
    for (size_t i = 0; i < pages; ++i)
        Appendf(out, "%s page %zu %zu raster lines", i == 0 ? "" : ",", i + 1, pageLines[i]);
    out += "\n";
    Appendf(out, "  %zu job information block%s, taken out (%zu bytes never sent)\n",
            scan.blocks.size(), scan.blocks.size() == 1 ? "" : "s", scan.blocks.size() * 92);
    size_t kinds[4] = {};
    for (const ScanSegment& segment : scan.segments) ++kinds[segment.kind];
    Appendf(out,
            "  %zu segment%s: %zu SEG_PAGE_END, %zu SEG_LAST_PAGE, %zu SEG_SPLIT, %zu SEG_PLAIN\n",
            scan.segments.size(), scan.segments.size() == 1 ? "" : "s", kinds[SEG_PAGE_END],
            kinds[SEG_LAST_PAGE], kinds[SEG_SPLIT], kinds[SEG_PLAIN]);
    Appendf(out, "  %zu byte%s edited by the monitor\n", scan.edits.size(),
            scan.edits.size() == 1 ? "" : "s");
    Appendf(out, "  the monitor sends %zu bytes, and a status request (ESC i S) before each page\n",
            scan.portBytes.size());
    if (scan.resetAtJobEnd)
        out +=
            "  no SUB: the job end tells the application and sends the reset sequence (48 zero "
            "bytes, ESC @)\n";
    if (scan.finished < stream.size())
        Appendf(out,
                "  the last %zu bytes (from offset %zu) are a command cut short: the monitor drops "
                "them\n",
                stream.size() - scan.finished, scan.finished);
    return out;
}
