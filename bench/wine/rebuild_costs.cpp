// The rebuild of a big multi-copy job against writing as many bytes with
// WriteFile, and the memory the rebuild holds at its peak.
#include <atomic>
#include <cstdio>

#include "qxlmkjob/job_writer.h"
#include "qxlmkjob/label_pages.h"
#include "rebuild/rebuild_file.h"
#include "rig/import_hook.h"
#include "timing.h"

namespace {

constexpr int PAGES = 200;
constexpr i16 COPIES = 50;
// Above the raster size that a further copy reprints from the printer's
// memory, so that every copy of every page is written in both orders.
constexpr u32 PAGE_LINES = 480;
constexpr DWORD WRITE_PIECE = 64 * 1024;  // the rebuild's own staging size

HANDLE TemporaryFile() {
    char directory[MAX_PATH] = {}, path[MAX_PATH] = {};
    if (GetTempPathA(MAX_PATH, directory) == 0 || GetTempFileNameA(directory, "QXB", 0, path) == 0)
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

struct FileGuard {
    HANDLE file = TemporaryFile();
    ~FileGuard() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    FileGuard() = default;
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
};

// The rebuild's memory comes from GlobalAlloc; the harness links the monitor's
// library, so its calls go through this program's import table.
std::atomic<long long> g_heapLive{0}, g_heapPeak{0};
ImportHook* g_allocHook = nullptr;
ImportHook* g_freeHook = nullptr;
ImportHook* g_writeHook = nullptr;
// The calls of WriteFile and the time spent in them, of the rebuild's and the baseline's alike.
long long g_writeCalls = 0;
LONGLONG g_writeTicks = 0;

HGLOBAL WINAPI CountingGlobalAlloc(UINT flags, SIZE_T size) {
    HGLOBAL block = reinterpret_cast<decltype(&GlobalAlloc)>(g_allocHook->original)(flags, size);
    if (block != nullptr) {
        long long live = g_heapLive += static_cast<long long>(GlobalSize(block));
        long long peak = g_heapPeak;
        while (live > peak && !g_heapPeak.compare_exchange_weak(peak, live)) {
        }
    }
    return block;
}

HGLOBAL WINAPI CountingGlobalFree(HGLOBAL block) {
    if (block != nullptr) g_heapLive -= static_cast<long long>(GlobalSize(block));
    return reinterpret_cast<decltype(&GlobalFree)>(g_freeHook->original)(block);
}

BOOL WINAPI CountingWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written,
                              LPOVERLAPPED overlapped) {
    LONGLONG begin = CounterNow();
    BOOL ok =
        reinterpret_cast<decltype(&WriteFile)>(g_writeHook->original)(file, data, size, written, overlapped);
    g_writeTicks += CounterNow() - begin;
    ++g_writeCalls;
    return ok;
}

// Samples the private bytes every few milliseconds until told to stop.
struct PrivatePeak {
    std::atomic<bool> stop{false};
    SIZE_T peak = PrivateBytes();
    HANDLE thread = CreateThread(nullptr, 0, Sample, this, 0, nullptr);
    static DWORD WINAPI Sample(void* self) {
        auto* me = static_cast<PrivatePeak*>(self);
        while (!me->stop) {
            SIZE_T now = PrivateBytes();
            if (now > me->peak) me->peak = now;
            Sleep(5);
        }
        return 0;
    }
    SIZE_T finish() {
        stop = true;
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        return peak;
    }
};

struct RebuildRun {
    bool ok = false;
    double rebuild = 0, write = 0;  // seconds
    double rebuildWriting = 0;      // of rebuild, inside WriteFile
    long long rebuildCalls = 0, writeCalls = 0;
    DWORD outputBytes = 0;
    long long heapPeak = 0;       // bytes the rebuild held from GlobalAlloc at most
    long long privateGrowth = 0;  // peak private bytes over those before it
};

bool WriteBytes(HANDLE file, const std::vector<u8>& piece, DWORD total) {
    while (total > 0) {
        DWORD n = std::min<DWORD>(total, static_cast<DWORD>(piece.size())), written = 0;
        if (!WriteFile(file, piece.data(), n, &written, nullptr) || written == 0) return false;
        total -= written;
    }
    return true;
}

RebuildRun RunOnce(HANDLE spool, const std::vector<u8>& piece) {
    RebuildRun run;
    FileGuard rebuilt, plain;
    if (rebuilt.file == INVALID_HANDLE_VALUE || plain.file == INVALID_HANDLE_VALUE) return run;
    SetFilePointer(spool, 0, nullptr, FILE_BEGIN);
    g_heapLive = 0;
    g_heapPeak = 0;
    PrivatePeak peak;
    SIZE_T privateBefore = peak.peak;
    g_writeCalls = 0;
    g_writeTicks = 0;
    LONGLONG begin = CounterNow();
    BOOL done = RebuildMultiCopyJob(spool, rebuilt.file);
    LONGLONG end = CounterNow();
    run.rebuildCalls = g_writeCalls;
    run.rebuildWriting = CounterSeconds(0, g_writeTicks);
    run.privateGrowth = static_cast<long long>(peak.finish()) - static_cast<long long>(privateBefore);
    run.heapPeak = g_heapPeak;
    run.rebuild = CounterSeconds(begin, end);
    run.outputBytes = GetFileSize(rebuilt.file, nullptr);
    g_writeCalls = 0;
    begin = CounterNow();
    bool written = WriteBytes(plain.file, piece, run.outputBytes);
    run.write = CounterSeconds(begin, CounterNow());
    run.writeCalls = g_writeCalls;
    run.ok = done && written;
    return run;
}

double Mb(double bytes) { return bytes / (1024.0 * 1024.0); }

}  // namespace

bool PrintRebuildCosts(const Options& options) {
    PrintHeading("Rebuilding a multi-copy job");
    ImportHook allocHook(GetModuleHandleA(nullptr), "kernel32.dll", "GlobalAlloc",
                         reinterpret_cast<void*>(CountingGlobalAlloc));
    ImportHook freeHook(GetModuleHandleA(nullptr), "kernel32.dll", "GlobalFree",
                        reinterpret_cast<void*>(CountingGlobalFree));
    ImportHook writeHook(GetModuleHandleA(nullptr), "kernel32.dll", "WriteFile",
                         reinterpret_cast<void*>(CountingWriteFile));
    g_allocHook = &allocHook;
    g_freeHook = &freeHook;
    g_writeHook = &writeHook;
    bool counted = allocHook.installed() && freeHook.installed() && writeHook.installed();

    std::vector<Picture> pages;
    for (int i = 1; i <= PAGES; ++i) pages.push_back(PatternPicture({720, 720, 62}, PAGE_LINES, static_cast<u32>(i)));
    std::printf(
        "%d pages of %u raster lines (90 bytes, blank bands as zero lines), %d copies: RebuildMultiCopyJob "
        "from the spool file to a temporary file, then WriteFile of as many bytes in %lu KB pieces to "
        "another; medians of %d runs. The time in WriteFile and its calls are counted through the "
        "program's import table. Heap peak: the most the rebuild held from GlobalAlloc at once; private "
        "bytes: the sampled peak over those before the rebuild.\n\n"
        "| order | spool file MB | rebuilt job MB | rebuild s | of it in WriteFile, s | its WriteFile calls "
        "| "
        "WriteFile alone, s | its calls | ratio (goal <= 1.5) | heap peak MB | heap peak - spool file, KB | "
        "private bytes growth MB |\n|---|---|---|---|---|---|---|---|---|---|---|---|\n",
        PAGES, PAGE_LINES, COPIES, WRITE_PIECE / 1024, options.runs);
    bool ok = true;
    for (bool collate : {true, false}) {
        JobLayout layout;
        layout.mediaWidth = 36;  // tape, as qxlmkjob writes spool files
        layout.copies = COPIES;
        layout.collate = collate;
        i16 paperId = 0;
        if (!PaperIdFor(layout, paperId)) return false;
        std::vector<u8> spoolBytes = SpoolFile(pages, layout, paperId);
        std::vector<u8> piece(spoolBytes.begin(),
                              spoolBytes.begin() + std::min<size_t>(WRITE_PIECE, spoolBytes.size()));
        FileGuard spool;
        DWORD written = 0;
        if (spool.file == INVALID_HANDLE_VALUE ||
            !WriteFile(spool.file, spoolBytes.data(), static_cast<DWORD>(spoolBytes.size()), &written,
                       nullptr)) {
            std::printf("| %s | the spool file could not be written |||||||||||\n",
                        collate ? "collated" : "uncollated");
            ok = false;
            continue;
        }
        std::vector<double> rebuild, writing, write, ratio, heap, growth;
        DWORD outputBytes = 0;
        long long rebuildCalls = 0, writeCalls = 0;
        bool good = true;
        for (int r = 0; r < options.runs && good; ++r) {
            RebuildRun run = RunOnce(spool.file, piece);
            good = run.ok;
            rebuild.push_back(run.rebuild);
            writing.push_back(run.rebuildWriting);
            write.push_back(run.write);
            ratio.push_back(run.write > 0 ? run.rebuild / run.write : -1);
            heap.push_back(static_cast<double>(run.heapPeak));
            growth.push_back(static_cast<double>(run.privateGrowth));
            outputBytes = run.outputBytes;
            rebuildCalls = run.rebuildCalls;
            writeCalls = run.writeCalls;
        }
        if (!good) {
            std::printf("| %s | the rebuild failed |||||||||||\n", collate ? "collated" : "uncollated");
            ok = false;
            continue;
        }
        double heapPeak = Median(heap);
        std::printf(
            "| %s | %.1f | %.1f | %.3f | %.3f | %lld | %.3f | %lld | %.2f | %s | %s | %.1f |\n",
            collate ? "collated" : "uncollated", Mb(spoolBytes.size()), Mb(outputBytes), Median(rebuild),
            Median(writing), rebuildCalls, Median(write), writeCalls, Median(ratio),
            counted ? Fixed(Mb(heapPeak), 1).c_str() : "n/a",
            counted ? Fixed((heapPeak - static_cast<double>(spoolBytes.size())) / 1024, 0).c_str() : "n/a",
            Mb(Median(growth)));
    }
    return ok;
}
