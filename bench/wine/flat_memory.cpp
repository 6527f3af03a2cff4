// A long plain job through WritePort in 4096-byte calls: the process's private
// bytes and heap bytes after page 10 and as the job goes on.
#include <cstdio>
#include <cstring>

#include "timing.h"

namespace {

constexpr const char* PORT = "PORT1";  // a port of no particular kind: the fewest calls per page
constexpr int SAMPLES = 10;            // besides page 10: at every tenth of the job

// The pages of a long job, made as they are written: the pages of a
// three-page job, the middle one repeated, each with its number and the total.
class PagedStream {
public:
    explicit PagedStream(u64 bytes) {
        u64 pageBytes = model_.pageStreamEnds[1] - model_.pageStreamEnds[0];
        total_ = static_cast<u32>(std::min<u64>(60000, std::max<u64>(3, bytes / pageBytes)));
    }
    u32 pages() const { return total_; }
    u32 pagesDone() const { return done_; }
    u64 portBytes() const {
        return model_.pages[0].size() + model_.pages[1].size() * (total_ - 2) + model_.pages[2].size();
    }
    // Up to size bytes of the job; 0 at its end.
    u32 next(u8* out, u32 size) {
        u32 n = 0;
        while (n < size && done_ < total_) {
            if (at_ == page_.size()) load();
            u32 take = static_cast<u32>(std::min<size_t>(size - n, page_.size() - at_));
            std::memcpy(out + n, page_.data() + at_, take);
            n += take;
            at_ += take;
            if (at_ == page_.size()) ++done_;
        }
        return n;
    }

private:
    void load() {
        size_t slice = done_ == 0 ? 0 : done_ + 1 == total_ ? 2 : 1;
        size_t from = slice == 0 ? 0 : model_.pageStreamEnds[slice - 1];
        page_.assign(model_.stream.begin() + static_cast<long>(from),
                     model_.stream.begin() + static_cast<long>(model_.pageStreamEnds[slice]));
        // The job information block leads every page.
        u16 number = static_cast<u16>(done_ + 1), total = static_cast<u16>(total_);
        std::memcpy(&page_[16], &number, 2);
        std::memcpy(&page_[18], &total, 2);
        std::memcpy(&page_[20], &total, 2);
        at_ = 0;
    }

    BuiltJob model_ = BuildSimpleJob(3, 500, 90);
    std::vector<u8> page_;
    size_t at_ = 0;
    u32 total_ = 0;
    u32 done_ = 0;
};

struct Memory {
    double privateBytes, heapBytes;
};

Memory MemoryNow() { return {static_cast<double>(PrivateBytes()), static_cast<double>(HeapBusyBytes())}; }

std::string Kb(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.0f", bytes / 1024);
    return text;
}

}  // namespace

bool PrintFlatMemory(const Monitors& monitors, const Options& options) {
    PrintHeading("Memory through a long plain job");
    PagedStream job(static_cast<u64>(options.flatMb) * 1024 * 1024);
    JobRun run(monitors.real, PORT);
    run.lower.keepBytes(false);  // the rig would otherwise keep every byte
    run.lower.emptyReads = EmptyReads::AtOnce;
    // The status monitor application stand-in must outlive a long job.
    SetEnvironmentVariableA("QXSMON_LIFETIME", "7200000");
    std::vector<u8> buffer(CHUNK);
    Memory atPage10{}, end{};
    double largestHeapGrowth = 0, largestPrivateGrowth = 0;
    bool ok = run.opened && run.start();
    u32 nextSample = 10;
    Usage begin = UsageNow();
    u64 offered = 0;
    while (ok) {
        u32 n = job.next(buffer.data(), CHUNK);
        if (n == 0) break;
        u32 written = 0;
        ok = monitors.real->WritePort(run.spooler.handle, buffer.data(), n, &written) && written == n;
        offered += n;
        if (job.pagesDone() < nextSample) continue;
        Memory now = MemoryNow();
        if (nextSample == 10) atPage10 = now;
        largestHeapGrowth = std::max(largestHeapGrowth, now.heapBytes - atPage10.heapBytes);
        largestPrivateGrowth = std::max(largestPrivateGrowth, now.privateBytes - atPage10.privateBytes);
        nextSample = std::max(nextSample + 1, job.pagesDone() + job.pages() / SAMPLES);
    }
    end = MemoryNow();
    Usage used = UsageNow() - begin;
    ok = run.end() && ok;
    Memory ended = MemoryNow();
    EmulatedPrinter& printer = run.printer();
    bool intact = printer.receivedCount - 3ull * printer.statusRequests == job.portBytes() &&
                  printer.pagesEnded == job.pages();
    std::printf(
        "A %d MB job of %u pages (500 raster lines of 90 bytes each) on %s, written in %u-byte "
        "calls, the port monitor stand-in keeping no bytes. Private bytes: PagefileUsage of "
        "GetProcessMemoryInfo (under Wine the resident anonymous memory); heap bytes: the busy entries "
        "of HeapWalk over GetProcessHeaps. Growth is from page 10 to the last write, the largest over "
        "samples at every tenth of the job, and to the return of EndDocPort.\n\n"
        "| job MB | pages | s | private bytes at page 10, MB | growth to the end, KB | largest growth, "
        "KB | heap bytes at page 10, MB | growth to the end, KB | largest growth, KB | after "
        "EndDocPort, KB |\n"
        "|---|---|---|---|---|---|---|---|---|---|\n",
        options.flatMb, job.pages(), PORT, CHUNK);
    std::printf("| %.0f | %u | %.0f | %.1f | %s | %s | %.1f | %s | %s | %s |%s\n", offered / 1048576.0,
                job.pages(), used.wall, atPage10.privateBytes / 1048576,
                Kb(end.privateBytes - atPage10.privateBytes).c_str(), Kb(largestPrivateGrowth).c_str(),
                atPage10.heapBytes / 1048576, Kb(end.heapBytes - atPage10.heapBytes).c_str(),
                Kb(largestHeapGrowth).c_str(), Kb(ended.heapBytes - atPage10.heapBytes).c_str(),
                ok && intact ? "" : " the job did not come through intact");
    return ok && intact;
}
