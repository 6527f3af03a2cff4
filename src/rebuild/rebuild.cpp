// The rebuild's core: index the records, then write the pages in one of the
// four orders (collated or not, forward or reverse) with their blocks.
#include "rebuild/rebuild.h"

#include <cstring>
#include <memory>

#include "rebuild/spool_file.h"
#include "rebuild/tape_table.h"
#include "rebuild/walkers.h"
#include "core/job_info.h"
#include "core/printer_commands.h"

namespace {

constexpr u8 FORM_FEED[1] = {CMD_FF};
constexpr u8 END_OF_JOB = CMD_SUB;
// The checks a rebuilt page asks for, by the spooled job's media type.
constexpr u16 CHECKS_KIND_ONLY = JIB_CHECK_MEDIA_TYPE;
constexpr u16 CHECKS_EXPLICIT_WIDTH = JIB_CHECK_MEDIA_TYPE | JIB_CHECK_MEDIA_EXTRA;

// Holds back the last byte written so that the end of the job can put the
// end-of-job byte in its place without seeking back in the destination.
struct Output {
    const RebuildIo* io;
    bool failed;
    bool holding;
    u8 held;
};

void Emit(Output* out, const u8* data, u32 length) {
    if (out->failed || length == 0) return;
    if (out->holding && !out->io->write(out->io->context, &out->held, 1)) {
        out->failed = true;
        return;
    }
    if (length > 1 && !out->io->write(out->io->context, data, length - 1)) {
        out->failed = true;
        return;
    }
    out->held = data[length - 1];
    out->holding = true;
}

// The last byte written (or nothing) becomes the end-of-job byte.
void FinishOutput(Output* out) {
    if (out->failed) return;
    if (!out->io->write(out->io->context, &END_OF_JOB, 1)) out->failed = true;
}

// A zero-filled block that goes back through the same io on every way out;
// null for a size of 0 or when none can be had.
struct IoRelease {
    const RebuildIo* io;
    void operator()(void* block) const { io->release(io->context, block); }
};
using IoBlock = std::unique_ptr<void, IoRelease>;

IoBlock Allocate(const RebuildIo* io, u32 size) {
    return IoBlock(size != 0 ? io->allocate(io->context, size) : nullptr, IoRelease{io});
}
u8* Bytes(const IoBlock& block) { return static_cast<u8*>(block.get()); }
u32* Entries(const IoBlock& block) { return static_cast<u32*>(block.get()); }

struct Job {
    u8* image;
    const SpoolIndex* index;
    i32 copies;
    bool reverseOrder;
    JobInfoBlock blockTemplate;
    u32 outputPageNumber;  // wider than the block's field: ESC @ comes once only
    Output out;
};

struct Record {
    const u8* data;
    u32 dataLength;
    u32 controlBytes;
    u32 rasterBytes;
};

Record RecordAt(const Job& job, u32 r) {
    const u32 offset = job.index->recordOffsets[r];
    const u32 end = job.index->recordOffsets[r + 1];
    return Record{job.image + offset + SPOOL_HEADER_SIZE, end - offset - SPOOL_HEADER_SIZE, 0, 0};
}

void Measure(Record* record) {
    const CommandBytes bytes = MeasureCommands(record->data, record->dataLength);
    record->controlBytes = bytes.control;
    record->rasterBytes = bytes.raster;
}

u32 PieceEntry(const Job& job, u32 r, u32 p) { return r * job.index->piecesPerRecord + p; }

// The control commands of the record's first piece, ESC i K bit set. A record
// without control commands needs no buffer.
bool FillControlBuffer(const Record& record, const IoBlock& buffer) {
    if (record.controlBytes == 0) return true;
    if (buffer == nullptr) return false;
    ExtractControlCommands(record.data, record.dataLength, Bytes(buffer), record.controlBytes,
                           true);
    return true;
}

void WriteBlock(Job* job, u32 pageBytes, u16 extraFlags) {
    JobInfoBlock block = job->blockTemplate;
    block.checkFlags = static_cast<u16>(block.checkFlags | JIB_CHECK_MEDIA_WIDTH | extraFlags);
    block.partIndex = static_cast<u16>(job->outputPageNumber);
    block.pageNumber = static_cast<u16>(job->outputPageNumber);
    block.pageBytes = pageBytes;
    Emit(&job->out, reinterpret_cast<const u8*>(&block), sizeof block);
}

// Loop position i of count, forward or backward.
u32 Ordered(u32 i, u32 count, bool reverse) { return reverse ? count - 1 - i : i; }

bool WriteRecordCollated(Job* job, u32 r) {
    Record record = RecordAt(*job, r);
    const u32 pieces = job->index->pieceCount;
    // With one piece per record the control commands are never sent apart.
    if (pieces > 1) Measure(&record);
    IoBlock controlBuffer = Allocate(job->out.io, pieces > 1 ? record.controlBytes : 0);
    if (pieces > 1 && !FillControlBuffer(record, controlBuffer)) return false;
    u8* control = Bytes(controlBuffer);
    const u32 controlBytes = control != nullptr ? record.controlBytes : 0;
    PatchControlCommands(control, controlBytes, false);
    const u32 pageBytes = record.dataLength + (job->outputPageNumber == 1 ? 2 : 0);
    for (u32 i = 0; i < pieces; ++i) {
        const u32 p = Ordered(i, pieces, job->reverseOrder);
        const u32 j = PieceEntry(*job, r, p);
        WriteBlock(job, pageBytes, 0);
        if (job->outputPageNumber == 1) Emit(&job->out, RESET_COMMAND, sizeof RESET_COMMAND);
        if (p != 0) Emit(&job->out, control, controlBytes);
        Emit(&job->out, job->image + job->index->pieceOffsets[j], job->index->pieceLengths[j]);
        ++job->outputPageNumber;
    }
    return !job->out.failed;
}

bool WriteRecordUncollated(Job* job, u32 r) {
    Record record = RecordAt(*job, r);
    Measure(&record);
    const u32 pieces = job->index->pieceCount;
    const i32 copies = job->copies;
    const bool reprintFromMemory = record.rasterBytes <= REPRINT_RASTER_LIMIT && copies > 1;
    const bool needControl = reprintFromMemory || pieces > 1;
    IoBlock controlBuffer = Allocate(job->out.io, needControl ? record.controlBytes : 0);
    if (needControl && !FillControlBuffer(record, controlBuffer)) return false;
    u8* control = Bytes(controlBuffer);
    const u32 controlBytes = control != nullptr ? record.controlBytes : 0;

    for (u32 i = 0; i < pieces; ++i) {
        const u32 p = Ordered(i, pieces, job->reverseOrder);
        const u32 j = PieceEntry(*job, r, p);
        u8* piece = job->image + job->index->pieceOffsets[j];
        const u32 pieceLength = job->index->pieceLengths[j];
        for (i32 copy = 1; copy <= copies; ++copy) {
            if (copy == 1 || !reprintFromMemory) {
                const bool first = job->outputPageNumber == 1;
                WriteBlock(job, pieceLength + JOB_INFO_SIZE + (first ? 2 : 0),
                           reprintFromMemory ? JIB_RESET_ON_STOP : 0);
                if (first) Emit(&job->out, RESET_COMMAND, sizeof RESET_COMMAND);
                // The same edits for every copy: once is enough.
                if (copy == 1) PatchControlCommands(piece, pieceLength, reprintFromMemory);
                if (p != 0) {
                    PatchControlCommands(control, controlBytes, reprintFromMemory);
                    Emit(&job->out, control, controlBytes);
                }
                Emit(&job->out, piece, pieceLength);
            } else {
                // Only the control commands again: the printer still holds the raster.
                WriteBlock(job, record.controlBytes + JOB_INFO_SIZE + 1, 0);
                PatchControlCommands(control, controlBytes, copy != copies);
                Emit(&job->out, control, controlBytes);
                Emit(&job->out, FORM_FEED, sizeof FORM_FEED);
            }
            ++job->outputPageNumber;
            if (job->out.failed) return false;
        }
    }
    return !job->out.failed;
}

JobInfoBlock MakeTemplate(const SpoolRecordHeader& last, u8 tapeWidth, u16 pageTotal) {
    JobInfoBlock block;
    memset(&block, 0, sizeof block);
    memcpy(block.introducer, JOB_INFO_INTRODUCER, sizeof block.introducer);
    block.mediaType = last.mediaType;
    block.mediaWidth = last.mediaType == MEDIA_TYPE_EXPLICIT_WIDTH ? last.explicitWidth : tapeWidth;
    block.mediaExtra = last.mediaExtra;
    block.mediaSetting4 = last.settingFlag != 0 ? 1 : 0;
    block.partCount = 1;
    block.checkFlags = last.mediaType == MEDIA_TYPE_KIND_ONLY        ? CHECKS_KIND_ONLY
                       : last.mediaType == MEDIA_TYPE_EXPLICIT_WIDTH ? CHECKS_EXPLICIT_WIDTH
                                                                     : 0;
    block.pageTotal = pageTotal;
    block.pageTotalShown = pageTotal;
    block.reserved22 = 1;
    return block;
}

}  // namespace

bool RebuildJobImage(u8* image, u32 size, const RebuildIo* io) {
    // Refused before anything is written: the caller then prints nothing.
    const u32 recordCount = CountSpoolRecords(image, size);
    if (recordCount == 0) return false;

    const SpoolRecordHeader first = ReadSpoolHeader(image, 0);
    SpoolIndex index{};
    index.recordCount = recordCount;
    const u8 tapeWidth = LookupTapeWidth(first.mediaType, first.paperId, &index.pieceCount);

    // Sized from the record count, so that no job is too long to index.
    const u32 pieceEntries = SpoolIndexEntries(recordCount, index.pieceCount);
    if (pieceEntries == 0) return false;
    IoBlock recordOffsets = Allocate(io, (recordCount + 1) * static_cast<u32>(sizeof(u32)));
    IoBlock pieceOffsets = Allocate(io, pieceEntries * static_cast<u32>(sizeof(u32)));
    IoBlock pieceLengths = Allocate(io, pieceEntries * static_cast<u32>(sizeof(u32)));
    if (!recordOffsets || !pieceOffsets || !pieceLengths) return false;
    index.recordOffsets = Entries(recordOffsets);
    index.pieceOffsets = Entries(pieceOffsets);
    index.pieceLengths = Entries(pieceLengths);
    IndexSpoolImage(image, &index);

    const SpoolRecordHeader last = ReadSpoolHeader(image, index.recordOffsets[recordCount - 1]);
    const u32 copiesBits = static_cast<u32>(static_cast<i32>(first.copies));
    const u16 pageTotal = static_cast<u16>(index.pieceCount * recordCount * copiesBits);

    Job job{image,
            &index,
            first.copies,
            first.reverseOrder != 0,
            MakeTemplate(last, tapeWidth, pageTotal),
            1,
            Output{io, false, false, 0}};

    bool written = true;
    if (index.pieceCount == 0 || job.copies <= 0) {
        // No page to write: the output is the end-of-job byte alone.
    } else if (first.collate != 0) {
        for (i32 copy = 1; copy <= job.copies && written; ++copy) {
            for (u32 i = 0; i < recordCount && written; ++i)
                written = WriteRecordCollated(&job, Ordered(i, recordCount, job.reverseOrder));
        }
    } else {
        for (u32 i = 0; i < recordCount && written; ++i)
            written = WriteRecordUncollated(&job, Ordered(i, recordCount, job.reverseOrder));
    }
    if (!written) return false;
    FinishOutput(&job.out);
    return !job.out.failed;
}
