// Progress arithmetic: bytes sent against the page's byte count, spread over
// the parts of a page, reported only when it changes.
#include "statmon/progress.h"

ProgressReport ComputeProgress(const JobInfoBlock& info, u32 pageBytesSent, i16& lastPercent,
                               i16 kind) {
    // Without a byte count only the end of the job is reported, as page 1 done.
    if (info.pageBytes == 0) {
        if (kind == SEG_LAST_PAGE) return {true, 1, 100};
        return {false, 0, 0};
    }
    u16 page = info.pageNumber;
    if (kind == SEG_PAGE_END || kind == SEG_LAST_PAGE) return {true, page, 100};

    // In 64 bits: pages above 42 MB would wrap the product in 32.
    u64 percent = static_cast<u64>(pageBytesSent) * 100u / info.pageBytes;
    i32 value = percent > 100 ? 100 : static_cast<i32>(percent);
    if (info.partCount > 1) {
        i32 parts = info.partCount;
        i32 partPercent = percent > 0xFFFF ? 0xFFFF : static_cast<i32>(percent);
        value = partPercent / parts + (info.partIndex * 100 - 100) / parts;
        if (value > 100) value = 100;
        if (value < 0) value = 0;  // a part index of 0 would otherwise report below zero
    }
    if (value == lastPercent) return {false, page, static_cast<u16>(value)};
    lastPercent = static_cast<i16>(value);
    return {true, page, static_cast<u16>(value)};
}
