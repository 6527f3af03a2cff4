// Running one job of the fault matrix and judging it.
#include "faults/fault_job.h"

#include <algorithm>

#include "faults/system_faults.h"
#include "rig/job_case.h"
#include "rig/network_monitor.h"
#include "rig/spool_file_builder.h"
#include "rig/status_packets.h"
#include "core/statmon_interface.h"

namespace {

constexpr u32 CHUNK = 512;  // the spooler's pieces: the carry buffer gets its share

std::vector<u8> JobBytes(bool multiCopy) {
    BuiltJob job = BuildSimpleJob(3);
    if (!multiCopy) return job.stream;
    // A record's page ends with FF, as the driver spools it: the rebuild ends
    // the job with SUB, so both copies print.
    SpoolRecordFields record;
    record.copies = 2;
    record.collate = 1;
    record.data = BuildSimpleJob(2).pages[0];
    return SpoolRecordBytes(record);
}

void ApplyPrinterFault(EmulatedPrinter& printer, PrinterFault fault) {
    switch (fault) {
        case PrinterFault::None: break;
        case PrinterFault::ErrorBeforePage:
            printer.errorPage = 2;
            printer.pageErrorInfo2 = 0x01;  // (2, 13)
            break;
        case PrinterFault::ErrorWhilePrinting: printer.errorStatusPage = 2; break;
        case PrinterFault::ErrorAfterLastPage: printer.errorStatusPage = 3; break;
        case PrinterFault::CoverOpenThenClosed:
            printer.errorPage = 2;
            printer.pageErrorInfo2 = 0x10;  // (2, 20): the cover
            break;
        case PrinterFault::MediaOutThenIn:
            printer.clearingErrorInfo1 = 0x01;  // (2, 1) at two checks in a row
            printer.clearingReplies = 2;
            break;
        case PrinterFault::SilentMidHandshake: printer.silentFromPage = 2; break;
        case PrinterFault::NeverQuiet:
            printer.babble = PacketBytes(MakeStatusPacket({.statusType = 9}));
            break;
    }
}

bool StartsWith(const std::vector<u8>& bytes, const std::vector<u8>& prefix) {
    return prefix.size() <= bytes.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// Whether the application heard that the page printed at printedAt was done:
// the end of a page's printing is told with NotifyPrinting after NotifyWaiting
// (NotifyJobEnd after the last page), and a state notification comes first
// when its handshake failed.
bool ReportedPrinted(const std::vector<StatmonRecord>& log, DWORD printedAt) {
    bool waiting = false;
    for (const StatmonRecord& record : log) {
        if (record.event != "notify" || static_cast<LONG>(record.tick - printedAt) < 0) continue;
        u32 notifyClass = record.code >> 16;
        if (notifyClass == 2 || notifyClass == 3) return false;
        if (record.code == NotifyJobEnd) return true;
        if (record.code == NotifyWaiting) waiting = true;
        if (record.code == NotifyPrinting && waiting) return true;
    }
    return false;
}

// The application the job started is gone within the bound.
bool ApplicationEnded(const std::vector<StatmonRecord>& log) {
    for (const StatmonRecord& record : log) {
        if (record.event != "start") continue;
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, record.processId);
        if (process == nullptr) continue;
        bool ended = WaitForSingleObject(process, JOB_BOUND_MS) == WAIT_OBJECT_0;
        CloseHandle(process);
        if (!ended) return false;
    }
    return true;
}

// What a job left to be judged.
struct JobOutcome {
    bool started = false;
    Pages printed;
    std::vector<DWORD> printedTicks;
    std::vector<u8> pending;  // what the printer holds of an unfinished page
    std::vector<StatmonRecord> application;
};

JobOutcome RunJob(const FaultCase& c, int slot, JobVerdict& verdict) {
    JobOutcome outcome;
    std::string port = PortForSlot(c.port, slot);
    ArmSystemFaults(c.allocationFailsAt, c.fileFunction, c.fileFailsAt, c.appCannotStart,
                    c.enumPortsFails);
    {
        JobRun run(&ProgramDll().table, port, c.appMode, c.appScript);
        if (c.multiCopy) run.printer().mediaWidth = 18;  // the rebuilt job's tape
        ApplyPrinterFault(run.printer(), c.printer);
        if (c.portFault) run.lower.inject(c.op, c.rule);
        std::vector<u8> job = JobBytes(c.multiCopy);
        DWORD start = GetTickCount();
        RunBounded(c.name, JOB_BOUND_MS, [&] {
            outcome.started = run.opened && run.start();
            if (outcome.started) {
                run.write(job, CHUNK);
                run.end();
            }
            if (run.opened) run.spooler.close();
            run.opened = false;
        });
        verdict.milliseconds = GetTickCount() - start;
        run.lower.withLock([&] {
            outcome.printed = run.printer().printed;
            outcome.printedTicks = run.printer().printedTicks;
            outcome.pending = run.printer().pending();
        });
        for (PortOp op :
             {PortOp::StartDocPort, PortOp::SetPortTimeOuts, PortOp::WritePort, PortOp::ReadPort,
              PortOp::GetPrinterDataFromPort, PortOp::EndDocPort, PortOp::ClosePort})
            verdict.census.calls[op] = run.lower.count(run.name, op);
        outcome.application = run.statmon.records();
    }
    ArmSystemFaults(0, "", 0, false, false);
    verdict.census.allocations = AllocationsCounted();
    verdict.census.fileCalls = FileCallsCounted();
    return outcome;
}

// Invariants 1, 3 and 4: in time, a print that is the job's first pages each
// once, and an application that heard how the job ended.
void JudgeJob(const FaultCase& c, const Pages& reference, const JobOutcome& outcome,
              JobVerdict& verdict) {
    auto breaks = [&](const std::string& what) { verdict.broken.push_back(what); };
    if (verdict.milliseconds > JOB_BOUND_MS)
        breaks("1 the job took " + std::to_string(verdict.milliseconds) + " ms");
    // The monitor ends no other program: one told to hang on or never to exit is left alone.
    if (c.appExits && !ApplicationEnded(outcome.application))
        breaks("1 the application did not exit");

    // A page prints again only after the reset of a recovery that took it for
    // not printed: its print was never reported (a failure ended its handshake).
    size_t page = 0;  // the page of the job the last print was
    bool mayRepeat = false;
    for (size_t i = 0; i < outcome.printed.size(); ++i) {
        bool repeat = i > 0 && mayRepeat && outcome.printed[i] == reference[page];
        if (i > 0 && !repeat) ++page;
        if (page >= reference.size() || outcome.printed[i] != reference[page]) {
            breaks("3 print " + std::to_string(i + 1) + " of " +
                   std::to_string(outcome.printed.size()) +
                   " is not the job's next page, or repeats one reported printed");
            break;
        }
        mayRepeat = !ReportedPrinted(outcome.application, outcome.printedTicks[i]);
    }
    if (!outcome.pending.empty()) {
        size_t next = outcome.printed.empty() ? 0 : page + 1;
        bool startsNext = next < reference.size() && StartsWith(reference[next], outcome.pending);
        bool startsAgain =
            mayRepeat && page < reference.size() && StartsWith(reference[page], outcome.pending);
        if (!startsNext && !startsAgain)
            breaks("3 the printer holds " + std::to_string(outcome.pending.size()) +
                   " bytes that are no page's start");
    }

    bool started = false, cancelled = false, heard = false;
    for (const StatmonRecord& record : outcome.application) {
        if (record.event == "start") started = true;
        if (record.event == "reply" && record.code == 3) cancelled = true;
        if (record.event == "notify" && (record.code == 0x40000 || record.code >> 16 == 3))
            heard = true;
    }
    if (c.appHears && started && !cancelled && !heard) breaks("4 the application heard no outcome");
}

struct Settlement {
    Resources after;
    std::vector<std::string> keptBlocks;
};

// Waits until what the job's threads and handles held is given back, for as
// long as the monitor's own bounds let its parties linger. The application is
// another process: the blocks it opened go only when its exit is complete. A
// block counts as kept only when it was there at every look: another
// process's job may make a block of the same name for the time of a message.
Settlement Settled(const std::string& port, const std::vector<std::string>& blocks,
                   const Resources& before) {
    std::vector<bool> alwaysThere(blocks.size(), true);
    auto held = [&] {
        bool any = ThreadCount() > before.threads || MutexExists(port + " OpenPort");
        for (size_t i = 0; i < blocks.size(); ++i) {
            alwaysThere[i] = alwaysThere[i] && MappingExists(blocks[i]);
            any = any || alwaysThere[i];
        }
        return any;
    };
    for (int i = 0; i < 100 && held(); ++i) Sleep(100);
    Settlement settled{MeasureResources(), {}};
    for (size_t i = 0; i < blocks.size(); ++i)
        if (alwaysThere[i]) settled.keptBlocks.push_back(blocks[i]);
    return settled;
}

// Invariant 5: everything the job held is given back.
void JudgeResources(const std::string& port, const Resources& before, const Settlement& settled,
                    JobVerdict& verdict) {
    auto breaks = [&](const std::string& what) { verdict.broken.push_back(what); };
    const Resources& after = settled.after;
    if (after.handles > before.handles + 2)
        breaks("5 handles " + std::to_string(before.handles) + " -> " +
               std::to_string(after.handles));
    if (after.heapBytes > before.heapBytes + 16384)
        breaks("5 heap bytes " + std::to_string(before.heapBytes) + " -> " +
               std::to_string(after.heapBytes));
    if (after.threads > before.threads)
        breaks("5 threads " + std::to_string(before.threads) + " -> " +
               std::to_string(after.threads));
    if (after.temporaryFiles != before.temporaryFiles) breaks("5 temporary files left");
    for (const std::string& block : settled.keptBlocks)
        breaks("5 block " + block + " still exists");
    if (MutexExists(port + " OpenPort")) breaks("5 the port's mutex still exists");
}

}  // namespace

JobVerdict RunFaultJob(const FaultCase& c, int slot, const Pages* reference) {
    JobVerdict verdict;
    if (reference == nullptr) {
        verdict.printed = RunJob(c, slot, verdict).printed;
        return verdict;
    }
    std::vector<std::string> blocks;
    blocks.reserve(256);
    verdict.broken.reserve(16);
    Resources before = MeasureResources();
    {
        // The outcome's logs and pages are freed before the resources are counted again.
        JobOutcome outcome = RunJob(c, slot, verdict);
        JudgeJob(c, *reference, outcome, verdict);
        for (const StatmonRecord& record : outcome.application)
            if (!record.blockName.empty() && blocks.size() < blocks.capacity())
                blocks.push_back(record.blockName);
    }
    const std::string port = PortForSlot(c.port, slot);
    JudgeResources(port, before, Settled(port, blocks, before), verdict);
    return verdict;
}
