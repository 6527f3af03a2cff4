// The trace line of a multi-copy job's rebuild: the job's shape from its
// record headers, as the rebuild reads them.
#include <windows.h>

#include "core/trace.h"
#include "core/trace_sink.h"
#include "monitor/job_end.h"
#include "rebuild/spool_file.h"
#include "rebuild/tape_table.h"

namespace {

struct SpoolSummary {
    u32 size = 0;
    u32 records = 0;
    SpoolRecordHeader first{};
};

bool ReadAt(HANDLE file, u32 offset, void* buffer, u32 size) {
    DWORD read = 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
           ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

// The job's shape from its record headers alone, as the rebuild reads them;
// the walk stops at the first header that is not a whole record.
SpoolSummary SummariseSpoolFile(HANDLE file) {
    SpoolSummary summary;
    DWORD high = 0;
    summary.size = GetFileSize(file, &high);
    if (summary.size == INVALID_FILE_SIZE || high != 0) return SpoolSummary{};
    u8 header[SPOOL_HEADER_SIZE];
    if (summary.size < SPOOL_HEADER_SIZE || !ReadAt(file, 0, header, sizeof header)) return summary;
    summary.first = ReadSpoolHeader(header, 0);
    u32 offset = 0;
    u32 sizes[2] = {};
    while (summary.size - offset >= SPOOL_HEADER_SIZE &&
           ReadAt(file, offset, sizes, sizeof sizes) && sizes[0] == SPOOL_HEADER_SIZE &&
           sizes[1] >= SPOOL_HEADER_SIZE && sizes[1] <= summary.size - offset) {
        offset += sizes[1];
        ++summary.records;
    }
    return summary;
}

}  // namespace

void TraceRebuildLine(PortSession& session, HANDLE spoolFile, HANDLE rebuilt, bool rebuiltJob) {
    KeepLastError keep;
    if (!rebuiltJob) session.trace.jobEnd = TRACE_END_REBUILD_REFUSED;
    SpoolSummary spool = SummariseSpoolFile(spoolFile);
    u32 pieces = 0;
    LookupTapeWidth(spool.first.mediaType, spool.first.paperId, &pieces);
    u32 rebuiltBytes = rebuiltJob ? GetFileSize(rebuilt, nullptr) : 0;
    TraceSay(
        session,
        "rebuild %s: %u records, %u pieces per record, %d copies, %s, %s order, %u bytes spooled, "
        "%u bytes rebuilt",
        rebuiltJob ? "done" : "refused, nothing printed", static_cast<unsigned>(spool.records),
        static_cast<unsigned>(pieces), spool.first.copies,
        spool.first.collate ? "collated" : "uncollated",
        spool.first.reverseOrder ? "reverse" : "forward", static_cast<unsigned>(spool.size),
        static_cast<unsigned>(rebuiltBytes));
}
