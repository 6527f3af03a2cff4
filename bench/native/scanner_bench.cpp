// The scanner over realistic jobs against memcpy of the same bytes, timed in
// turns in the same run, both in WritePort-sized pieces: the scanner skips raster data by its length, so it
// should keep up with memcpy. vs_memcpy is the scanner's time over memcpy's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "qxlmkjob/job_writer.h"
#include "qxlmkjob/label_pages.h"
#include "qxlmkjob/text_label.h"
#include "qxlmkjob/typeface.h"
#include "stream/scanner.h"

namespace {

constexpr u32 PAGES = 10;
constexpr u32 PIECE = 4096;  // what the spooler hands over per WritePort

enum class Content { Text, Picture };

// Ten labels as qxlmkjob makes them, each page numbered: an address (text) or
// diagonal stripes with blank bands (a picture, 500 lines) on 62 mm tape
// (90-byte lines), or a short list on narrow tape (16-byte lines).
std::vector<u8> Job(u32 lineBytes, bool compress, Content content) {
    std::vector<Picture> pages;
    for (u32 i = 1; i <= PAGES; ++i) {
        std::string number = std::to_string(i);
        std::string text =
            lineBytes >= 90 ? "QUORVIN LABELS\n12 HARBOUR ROAD\nPORT TOWN 4021\nPARCEL " + number + " OF 10"
                            : "ITEM " + number + "\nBOX 7\nSHELF\nROW 12\nLOT 44\nBIN 3\nQTY 20\nOK";
        const LabelSpace space{lineBytes * 8, lineBytes * 8, 62};
        Picture page = PatternPicture(space, 500, i);
        std::string error;
        if (content == Content::Text) TextPicture(text, space, {BUILTIN_FONT}, page, error);
        pages.push_back(page);
    }
    JobLayout layout;
    layout.compress = compress;
    return CommandStream(pages, layout);
}

SendResult Drop(void*, PortSession& session, ScanCursor& cursor, SegmentKind kind) {
    cursor.consumed += cursor.pos;
    cursor.pos = 0;
    if (kind != SEG_PLAIN) session.job.data.rasterCount = 0;
    return SendResult::Continue;
}
bool Take(void*, PortSession&, const u8*) { return true; }
bool Store(void*, PortSession&, const u8*, u32) { return true; }
void StoreFailed(void*, PortSession&) {}

// As WritePort feeds it: an unconsumed tail leads the next piece.
void ScanJob(std::vector<u8>& job) {
    const ScanSender sender{nullptr, Drop, Take, Store, StoreFailed};
    PortSession session{};
    session.job.data.lastPageEnd = 0x0C;
    size_t offset = 0;
    while (offset < job.size()) {
        u32 n = static_cast<u32>(std::min<size_t>(PIECE, job.size() - offset));
        u32 consumed = 0;
        ScanStreamWith(session, job.data() + offset, n, consumed, sender);
        offset += consumed != 0 ? consumed : n;
    }
    benchmark::DoNotOptimize(session.job.data.rasterCount);
}

void CopyJob(const std::vector<u8>& job, std::vector<u8>& copy) {
    benchmark::DoNotOptimize(copy.data());
    for (size_t offset = 0; offset < job.size(); offset += PIECE)
        std::memcpy(copy.data() + offset, job.data() + offset, std::min<size_t>(PIECE, job.size() - offset));
    benchmark::ClobberMemory();
}

void BM_Scan(benchmark::State& state, u32 lineBytes, bool compress, Content content) {
    std::vector<u8> job = Job(lineBytes, compress, content);
    std::vector<u8> copy(job.size());
    using Clock = std::chrono::steady_clock;
    double scanSeconds = 0, copySeconds = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ScanJob(job);
        auto t1 = Clock::now();
        CopyJob(job, copy);
        auto t2 = Clock::now();
        double scan = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(scan);
        scanSeconds += scan;
        copySeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(job.size()));
    state.counters["job_bytes"] = static_cast<double>(job.size());
    state.counters["memcpy_GBps"] = copySeconds > 0 ? state.iterations() * job.size() / copySeconds / 1e9 : 0;
    state.counters["vs_memcpy"] = copySeconds > 0 ? scanSeconds / copySeconds : 0;
}

BENCHMARK_CAPTURE(BM_Scan, text_plain_90_byte_lines, 90, false, Content::Text)->UseManualTime();
BENCHMARK_CAPTURE(BM_Scan, text_packbits_90_byte_lines, 90, true, Content::Text)->UseManualTime();
BENCHMARK_CAPTURE(BM_Scan, picture_plain_90_byte_lines, 90, false, Content::Picture)->UseManualTime();
BENCHMARK_CAPTURE(BM_Scan, text_narrow_tape_16_byte_lines, 16, false, Content::Text)->UseManualTime();

// For scale: memcpy of a buffer far larger than the caches, in one call.
void BM_MemcpyBeyondCaches(benchmark::State& state) {
    std::vector<u8> from(64 << 20, 0x5A), to(64 << 20);
    for (auto _ : state) {
        benchmark::DoNotOptimize(to.data());
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(from.size()));
}
BENCHMARK(BM_MemcpyBeyondCaches);

}  // namespace
