// Scanner throughput over a large synthetic page: raster lines, zero lines and
// the usual page set-up, scanned in WritePort-sized buffers.
#include <benchmark/benchmark.h>

#include <vector>

#include "stream/scanner.h"

namespace {

std::vector<u8> SyntheticPage() {
    std::vector<u8> page = {0x1B, 0x40, 0x1B, 0x69, 0x61, 0x01, 0x4D, 0x02};
    for (int line = 0; line < 20000; ++line) {
        if (line % 7 == 0) {
            page.push_back(0x5A);
            continue;
        }
        page.insert(page.end(), {0x47, 90, 0});
        page.insert(page.end(), 90, static_cast<u8>(line));
    }
    page.push_back(0x0C);
    return page;
}

SendResult Drop(void*, PortSession& session, ScanCursor& cursor, SegmentKind kind) {
    cursor.consumed += cursor.pos;
    cursor.pos = 0;
    if (kind != SEG_PLAIN) session.rasterCount = 0;
    return SendResult::Continue;
}
bool Take(void*, PortSession&, const u8*) { return true; }
bool Store(void*, PortSession&, const u8*, u32) { return true; }
void StoreFailed(void*, PortSession&) {}

void BM_ScanPage(benchmark::State& state) {
    const std::vector<u8> page = SyntheticPage();
    const u32 piece = static_cast<u32>(state.range(0));
    std::vector<u8> buffer(page);
    ScanSender sender{nullptr, Drop, Take, Store, StoreFailed};
    for (auto _ : state) {
        PortSession session{};
        session.lastPageEnd = 0x0C;
        size_t offset = 0;
        while (offset < buffer.size()) {
            u32 n = static_cast<u32>(std::min<size_t>(piece, buffer.size() - offset));
            u32 consumed = 0;
            ScanStreamWith(session, buffer.data() + offset, n, consumed, sender);
            // An unconsumed tail leads the next piece; a piece that takes nothing is skipped.
            offset += consumed != 0 ? consumed : n;
        }
        benchmark::DoNotOptimize(session.rasterCount);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.size());
}
BENCHMARK(BM_ScanPage)->Arg(4096)->Arg(65536);

}  // namespace
