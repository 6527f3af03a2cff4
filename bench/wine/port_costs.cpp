// The CPU a job burns while the printer prints, and the monitor's own cost
// per page beside the pass-through monitor, on every kind of port.
#include <cstdio>

#include "rig/status_packets.h"
#include "timing.h"

namespace {

// A slow printer: each page prints this long after its page end.
constexpr u32 PRINT_MS = 2500;
// A port that takes nothing (a print server whose buffer is full) this long.
constexpr DWORD STALL_MS = 3000;

void PrintUsageRow(const char* port, const char* what, const Usage& u, double reads, double requests,
                   const char* trouble) {
    std::printf("| %s | %s | %.1f | %s | %s | %.0f | %.0f |%s\n", port, what, u.wall,
                Fixed(u.cpu * 100 / u.wall, 2).c_str(), Fixed(u.server * 100 / u.wall, 2).c_str(),
                reads / u.wall, requests / u.wall, trouble);
}

// The job's bytes are counted, not kept, so the port monitor stand-in costs
// as little as it can; it must still receive every byte and print every page.
bool PrintWaitCost(MonitorTable* table, const PortKind& kind, EmptyReads mode, DWORD stallMs) {
    BuiltJob job = BuildSimpleJob(2, 100, 90);  // two small pages: the time is the printer's
    JobRun run(table, kind.port);
    run.lower.keepBytes(false);
    run.lower.emptyReads = mode;
    run.printer().pageMs = stallMs != 0 ? 0 : PRINT_MS;
    // From the first write to the port on, data writes (not status requests) take nothing for stallMs.
    DWORD stallEnd = 0;
    if (stallMs != 0) {
        run.lower.beforeCall = [&](PortOp op) {
            if (op != PortOp::WritePort) return;
            if (stallEnd == 0) stallEnd = GetTickCount() + stallMs;
            bool stalled = static_cast<LONG>(GetTickCount() - stallEnd) < 0;
            run.lower.withLock([&] { run.lower.port(kind.port).refusedWrites = stalled ? 1 : 0; });
        };
    }
    JobSpan span = DriveJob(table, run, job.stream, CHUNK);
    run.lower.beforeCall = nullptr;
    const EmulatedPrinter& printer = run.printer();
    bool intact = printer.receivedCount - 3ull * printer.statusRequests == job.portBytes.size() &&
                  printer.pagesEnded == 2;
    std::string what = stallMs != 0 ? "its WritePort takes nothing for 3 s" : EmptyReadsName(mode);
    const char* trouble = span.ok && intact ? "" : " the job did not come through intact";
    PrintUsageRow(kind.kind, what.c_str(), span.writes, static_cast<double>(span.reads),
                  static_cast<double>(span.requests), trouble);
    return span.ok && intact;
}

// From the read that brought the last byte of each "printing ended" packet to
// the next write of page data (any write but a status request).
std::vector<double> PrintedToNextPage(const std::vector<PortCall>& calls) {
    const std::vector<u8> ended = PacketBytes(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
    const std::vector<u8> request = {0x1B, 0x69, 0x53};
    std::vector<u8> last;  // the newest bytes read, as many as a packet
    std::vector<double> gaps;
    LONGLONG endedAt = 0;
    bool waiting = false;
    for (const PortCall& call : calls) {
        if (call.op == PortOp::ReadPort) {
            for (u8 byte : call.data) {
                last.push_back(byte);
                if (last.size() > ended.size()) last.erase(last.begin());
                if (last == ended) {
                    endedAt = call.counter;
                    waiting = true;
                }
            }
        } else if (call.op == PortOp::WritePort && waiting && call.result != 0 && call.data != request) {
            gaps.push_back(CounterSeconds(endedAt, call.counter));
            waiting = false;
        }
    }
    return gaps;
}

struct PageCost {
    std::vector<double> wall, cpu, server;  // seconds per page, one entry per run
    std::vector<double> gap;                // seconds, one entry per page after the first
};

bool MeasurePages(MonitorTable* table, const PortKind& kind, const BuiltJob& job, EmptyReads mode,
                  PageCost& cost) {
    JobRun run(table, kind.port);
    run.lower.emptyReads = mode;
    JobSpan span = DriveJob(table, run, job.stream, CHUNK);
    std::vector<u8> received = WithoutStatusRequests(run.received());
    // The pass-through monitor sends the stream as it comes.
    if (!span.ok || (received != job.portBytes && received != job.stream)) return false;
    cost.wall.push_back(span.writes.wall / JOB_PAGES);
    cost.cpu.push_back(span.writes.cpu / JOB_PAGES);
    cost.server.push_back(span.writes.server < 0 ? -1 : span.writes.server / JOB_PAGES);
    std::vector<double> gaps = PrintedToNextPage(run.lower.calls(kind.port));
    cost.gap.insert(cost.gap.end(), gaps.begin(), gaps.end());
    return true;
}

}  // namespace

bool PrintWaitCosts(const Monitors& monitors, const Options&) {
    PrintHeading("CPU while the printer prints");
    std::printf(
        "Two small pages, each printing %u ms after its page end; the writes after the first. CPU is this "
        "process's (the monitor, the port monitor stand-in, which keeps no bytes, and the harness) in %% "
        "of one core; the first row is the same process idle for as long.\n\n"
        "| port | the port monitor's ReadPort when no data waits | wall s | CPU %% | wineserver CPU %% | "
        "ReadPort calls/s | control requests/s |\n|---|---|---|---|---|---|---|\n",
        PRINT_MS);
    Usage before = UsageNow();
    Sleep(2 * PRINT_MS);
    PrintUsageRow("none", "idle, no job", UsageNow() - before, 0, 0, "");
    bool ok = true;
    for (const PortKind& kind : PortKinds())
        for (EmptyReads mode : {EmptyReads::Blocking, EmptyReads::AtOnce})
            ok = PrintWaitCost(monitors.real, kind, mode, 0) && ok;
    for (const PortKind& kind : PortKinds())
        if (kind.kind == std::string("network") || kind.kind == std::string("parallel"))
            ok = PrintWaitCost(monitors.real, kind, EmptyReads::AtOnce, STALL_MS) && ok;
    return ok;
}

bool PrintPageCosts(const Monitors& monitors, const Options& options) {
    PrintHeading("The monitor's own cost per page");
    std::printf(
        "Jobs of %d pages of 500 raster lines of 90 bytes (about 46 KB) in %u-byte writes, a printer "
        "that answers at once; medians of %d runs (CPU: means). Wall and CPU with a port monitor whose "
        "ReadPort returns at once. The gap from the printer's \"printing ended\" to the next page's "
        "first byte is taken at every page after the first, with each kind of ReadPort: the worst "
        "page of all runs.\n\n"
        "| port | wall ms/page | CPU ms/page | wineserver CPU ms/page | \"printing ended\" to next page, "
        "ReadPort at once, median ms | the same, worst ms (goal <= 30) | \"printing ended\" to next "
        "page, ReadPort blocking, median ms | the same, blocking, worst ms (goal <= 30) | pass-through "
        "wall ms/page | pass-through CPU ms/page | wall ratio | CPU ratio |\n"
        "|---|---|---|---|---|---|---|---|---|---|---|---|\n",
        JOB_PAGES, CHUNK, options.runs);
    BuiltJob job = BuildSimpleJob(JOB_PAGES, 500, 90);
    bool ok = true;
    for (const PortKind& kind : PortKinds()) {
        PageCost real, blocking, pass;
        bool measured = true;
        for (int r = 0; r < options.runs && measured; ++r) {
            measured = MeasurePages(monitors.real, kind, job, EmptyReads::AtOnce, real) &&
                       MeasurePages(monitors.real, kind, job, EmptyReads::Blocking, blocking);
            if (measured && monitors.passThrough != nullptr)
                measured = MeasurePages(monitors.passThrough, kind, job, EmptyReads::AtOnce, pass);
        }
        if (!measured) {
            std::printf("| %s | the job did not come through intact |||||||||||\n", kind.kind);
            ok = false;
            continue;
        }
        double wall = Median(real.wall), passWall = Median(pass.wall);
        double cpu = Mean(real.cpu), passCpu = Mean(pass.cpu);
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", kind.kind,
                    Ms(wall, 1).c_str(), Ms(cpu, 2).c_str(), Ms(Mean(real.server), 2).c_str(),
                    Ms(Median(real.gap), 1).c_str(), Ms(Max(real.gap), 1).c_str(),
                    Ms(Median(blocking.gap), 1).c_str(), Ms(Max(blocking.gap), 1).c_str(),
                    Ms(passWall, 3).c_str(), Ms(passCpu, 3).c_str(), Ratio(wall, passWall).c_str(),
                    Ratio(cpu, passCpu).c_str());
    }
    return ok;
}
