// The monitor's scan and rebuild of a whole job, recorded.
#include "qxlinspect/monitor_view.h"

#include <cstdlib>
#include <iterator>
#include <cstring>

#include "common/commands.h"
#include "common/text.h"
#include "rebuild/rebuild.h"
#include "rebuild/spool_file.h"
#include "core/job_info.h"
#include "core/printer_commands.h"
#include "stream/scanner.h"

namespace {

struct Recorder {
    MonitorScan* scan;
    const u8* buffer;     // the buffer being scanned
    size_t bufferOffset;  // where it starts in the stream
    bool jobEnded = false;

    static SendResult Send(void* context, PortSession& session, ScanCursor& cursor,
                           SegmentKind kind) {
        auto* self = static_cast<Recorder*>(context);
        self->scan->segments.push_back(
            {self->bufferOffset + cursor.consumed, cursor.pos, kind, self->jobEnded});
        if (!self->jobEnded)
            self->scan->portBytes.insert(self->scan->portBytes.end(), cursor.base(),
                                         cursor.base() + cursor.pos);
        if (kind == SEG_LAST_PAGE) self->jobEnded = true;
        cursor.consumed += cursor.pos;
        cursor.pos = 0;
        if (kind != SEG_PLAIN) session.job.data.rasterCount = 0;  // the page-end handshake's part
        return SendResult::Continue;
    }
    static bool Take(void* context, PortSession&, const u8* block) {
        (void)context;
        (void)block;
        return true;
    }
    static bool Store(void* context, PortSession&, const u8* data, u32) {
        auto* self = static_cast<Recorder*>(context);
        self->scan->blocks.push_back(self->bufferOffset + static_cast<size_t>(data - self->buffer));
        return true;
    }
    static void StoreFailed(void*, PortSession&) {}
};

}  // namespace

Bytes ResetSequence() {
    Bytes bytes(RESET_ZEROS, 0);
    bytes.insert(bytes.end(), std::begin(RESET_COMMAND), std::end(RESET_COMMAND));
    return bytes;
}

MonitorScan ScanAsMonitor(const Bytes& stream) {
    MonitorScan scan;
    Bytes buffer = stream;  // the scanner edits it in place
    PortSession session{};
    session.job = FreshJob();
    Recorder recorder{&scan, buffer.data(), 0};
    ScanSender sender{&recorder, Recorder::Send, Recorder::Take, Recorder::Store,
                      Recorder::StoreFailed};
    ScanMode mode = ScanMode::Normal;
    // Each pass finishes bytes or ends; the end of the stream is scanned as the
    // job end flushes it, until nothing more can be finished.
    while (scan.finished < buffer.size()) {
        u32 consumed = 0;
        recorder.bufferOffset = scan.finished;
        u8* data = buffer.data() + recorder.bufferOffset;
        recorder.buffer = data;
        u32 length = static_cast<u32>(buffer.size() - recorder.bufferOffset);
        // The recorder never fails, so the scan returns true.
        ScanStreamWith(session, data, length, consumed, sender, mode);
        scan.finished = recorder.bufferOffset + consumed;
        if (consumed == 0 && mode == ScanMode::EndOfStream) break;
        mode = ScanMode::EndOfStream;
    }
    for (size_t i = 0; i < stream.size(); ++i)
        if (buffer[i] != stream[i]) scan.edits.push_back({i, stream[i], buffer[i]});
    if (!recorder.jobEnded) {
        scan.resetAtJobEnd = true;
        Bytes reset = ResetSequence();
        scan.portBytes.insert(scan.portBytes.end(), reset.begin(), reset.end());
    }
    return scan;
}

size_t PageEndsSent(const MonitorScan& scan) {
    size_t count = 0;
    for (const ScanSegment& segment : scan.segments)
        if (!segment.afterJobEnd && (segment.kind == SEG_PAGE_END || segment.kind == SEG_LAST_PAGE))
            ++count;
    return count;
}

namespace {

struct RebuildSink {
    Bytes* out;
    size_t limit;

    static bool Write(void* context, const u8* data, u32 length) {
        auto* self = static_cast<RebuildSink*>(context);
        if (self->out->size() + length > self->limit) return false;
        self->out->insert(self->out->end(), data, data + length);
        return true;
    }
    static void* Allocate(void*, u32 size) { return std::calloc(1, size); }
    static void Release(void*, void* block) { std::free(block); }
};

std::string RecordProblem(const Bytes& spool) {
    size_t offset = 0;
    for (size_t record = 1; offset < spool.size(); ++record) {
        const size_t left = spool.size() - offset;
        if (left < SPOOL_HEADER_SIZE)
            return Format(
                "spool record %zu at offset %zu: only %zu bytes left, a record header has 58",
                record, offset, left);
        SpoolRecordHeader header = ReadSpoolHeader(spool.data(), static_cast<u32>(offset));
        if (header.headerSize != SPOOL_HEADER_SIZE)
            return Format("spool record %zu at offset %zu: headerSize is %u, not 58", record,
                          offset, header.headerSize);
        if (header.recordSize < SPOOL_HEADER_SIZE)
            return Format("spool record %zu at offset %zu: recordSize %u is below 58", record,
                          offset, header.recordSize);
        if (header.recordSize > left)
            return Format(
                "spool record %zu at offset %zu: recordSize %u reaches past the end of the "
                "file (%zu bytes left)",
                record, offset, header.recordSize, left);
        offset += header.recordSize;
    }
    return "not a spooled job";
}

std::string StreamProblem(const Bytes& stream, const char* where) {
    size_t pageEnds = 0;
    for (size_t at = 0; at < stream.size();) {
        const Command command = ReadCommand(stream.data() + at, stream.size() - at);
        if (command.kind == CommandKind::Unknown)
            return Format(
                "unknown byte 0x%02x at offset %zu%s: no command of the printer begins with it",
                stream[at], at, where);
        if (command.cutShort && command.kind == CommandKind::JobInfo)
            return Format(
                "job information block cut short at offset %zu%s: the file ends after %zu of "
                "its 92 bytes",
                at, where, stream.size() - at);
        if (command.cutShort)
            return Format("the data ends inside %s at offset %zu%s (%zu of its %u bytes)",
                          command.name, at, where, stream.size() - at, command.length);
        if (command.kind == CommandKind::PageEnd || command.kind == CommandKind::LastPageEnd)
            ++pageEnds;
        at += command.length;
    }
    if (pageEnds == 0)
        return Format("no page end (FF or SUB)%s: the printer would print nothing", where);
    return "";
}

}  // namespace

MonitorRebuild RebuildAsMonitor(const Bytes& spool, size_t outputLimit) {
    MonitorRebuild result;
    // An exact-sized copy: the rebuild patches it in place.
    u8* image = static_cast<u8*>(std::malloc(spool.empty() ? 1 : spool.size()));
    if (image == nullptr) return result;
    if (!spool.empty()) std::memcpy(image, spool.data(), spool.size());
    RebuildSink sink{&result.stream, outputLimit};
    RebuildIo io{&sink, RebuildSink::Write, RebuildSink::Allocate, RebuildSink::Release};
    result.rebuilt = RebuildJobImage(image, static_cast<u32>(spool.size()), &io);
    result.image.assign(image, image + spool.size());
    std::free(image);
    if (!result.rebuilt) result.stream.clear();
    return result;
}

bool IsSpoolFile(const Bytes& job) { return !job.empty() && job[0] == MULTI_COPY_MARK; }

std::string FindProblem(const Bytes& job, size_t outputLimit) {
    if (job.empty()) return "the file is empty";
    if (!IsSpoolFile(job)) return StreamProblem(job, "");
    if (CountSpoolRecords(job.data(), static_cast<u32>(job.size())) == 0) return RecordProblem(job);
    MonitorRebuild rebuild = RebuildAsMonitor(job, outputLimit);
    if (!rebuild.rebuilt)
        return Format(
            "the monitor's rebuild gives up on this spooled job (more than %zu bytes, or too many "
            "records)",
            outputLimit);
    if (rebuild.stream.size() <= 1)
        return "the rebuilt job has no page: copies 0 or less, or a paperId the tape table does "
               "not know";
    return StreamProblem(rebuild.stream, " of the rebuilt job");
}

Bytes PortBytesOf(const Bytes& job, size_t* pageEnds, size_t outputLimit) {
    // A spool file the rebuild gives up on sends nothing but the job end's reset.
    const Bytes stream = IsSpoolFile(job) ? RebuildAsMonitor(job, outputLimit).stream : job;
    MonitorScan scan = ScanAsMonitor(stream);
    if (pageEnds != nullptr) *pageEnds = PageEndsSent(scan);
    return scan.portBytes;
}

PageMedia FirstPageMedia(const Bytes& job) {
    const Bytes stream =
        IsSpoolFile(job) ? RebuildAsMonitor(job, REBUILD_OUTPUT_LIMIT).stream : job;
    const MonitorScan scan = ScanAsMonitor(stream);
    if (scan.blocks.empty()) return {};
    JobInfoBlock block;
    std::memcpy(&block, stream.data() + scan.blocks.front(), sizeof block);
    return {block.mediaWidth, block.mediaType, block.mediaExtra, block.checkFlags};
}
