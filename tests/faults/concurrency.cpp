// Jobs side by side, and the soak.
#include "faults/concurrency.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "faults/fault_job.h"
#include "rig/job_case.h"
#include "rig/resources.h"
#include "rig/run_program.h"
#include "core/statmon_interface.h"

namespace {

constexpr u32 CHUNK = 512;

CaseResult Result(const std::string& name, DWORD start, const std::vector<std::string>& broken) {
    return {0, name, broken.empty(), GetTickCount() - start, broken};
}

// The document a status monitor application's job start block named.
std::map<u32, std::string> DocumentsByProcess(const std::vector<StatmonRecord>& log) {
    std::map<u32, std::string> documents;
    for (const StatmonRecord& record : log) {
        if (record.event != "notify" || record.code != NotifyJobStart || record.block.size() < 264)
            continue;
        const char* name =
            reinterpret_cast<const char*>(record.block.data() + JOB_START_DOCUMENT_OFFSET);
        documents[record.processId] = std::string(name, strnlen(name, JOB_START_NAME_SIZE - 1));
    }
    return documents;
}

// Four ports print at once, each job with its own application: one meets a
// cover open and is continued, one is cancelled. Every job's pages and
// notifications are its own.
CaseResult FourPortsAtOnce() {
    DWORD start = GetTickCount();
    std::vector<std::string> broken;
    const char* ports[4] = {"QXUSB71", "LPT7", "QXCOM7", "FILE71"};
    const char* documents[4] = {"Job1", "Job2", "Job3", "Job4"};
    StatmonEnvironment statmon;
    SetEnvironmentVariableA("QXSMON_SCRIPT_Job2", "on 0x20014 reply 1");
    SetEnvironmentVariableA("QXSMON_SCRIPT_Job3", "on 0x50022 reply 3 once");
    FakePortMonitor lower;
    SpoolerPort spoolers[4];
    for (int i = 0; i < 4; ++i) {
        lower.port(ports[i]).printer.portKind = PrinterPortFor(ports[i]);
        spoolers[i].table = &ProgramDll().table;
        if (!spoolers[i].open(ports[i], lower.table()))
            broken.push_back(std::string("open ") + ports[i]);
    }
    lower.withLock([&] {
        lower.port("LPT7").printer.errorPage = 2;
        lower.port("LPT7").printer.pageErrorInfo2 = 0x10;
    });
    BuiltJob job = BuildSimpleJob(3);
    RunBounded("four ports at once", 2 * JOB_BOUND_MS, [&] {
        std::vector<std::unique_ptr<Background>> jobs;
        for (int i = 0; i < 4; ++i)
            jobs.push_back(std::make_unique<Background>([&, i] {
                spoolers[i].startDoc("Label", static_cast<u32>(20 + i), documents[i]);
                spoolers[i].writeAll(job.stream, CHUNK);
                spoolers[i].endDoc();
            }));
    });
    for (SpoolerPort& spooler : spoolers) spooler.close();
    SetEnvironmentVariableA("QXSMON_SCRIPT_Job2", nullptr);
    SetEnvironmentVariableA("QXSMON_SCRIPT_Job3", nullptr);

    for (int i = 0; i < 4; ++i) {
        std::vector<std::vector<u8>> printed;
        lower.withLock([&] { printed = lower.port(ports[i]).printer.printed; });
        bool cancelled = i == 2;
        bool whole = printed == job.pages;
        bool prefix = printed.size() <= job.pages.size() &&
                      std::equal(printed.begin(), printed.end(), job.pages.begin());
        if (cancelled ? !prefix : !whole)
            broken.push_back(std::string(ports[i]) + " printed another job's or a wrong page");
    }
    std::vector<StatmonRecord> log = statmon.records();
    std::map<u32, std::string> owner = DocumentsByProcess(log);
    std::map<std::string, int> coverOpen, jobEnds;
    for (const StatmonRecord& record : log) {
        if (record.event != "notify") continue;
        if (record.code == 0x20014) ++coverOpen[owner[record.processId]];
        if (record.code == NotifyJobEnd) ++jobEnds[owner[record.processId]];
    }
    if (owner.size() != 4)
        broken.push_back("applications of " + std::to_string(owner.size()) +
                         " jobs heard their job start");
    if (coverOpen["Job2"] != 1 || coverOpen.size() != 1)
        broken.push_back("the cover open reached another job's application");
    for (const char* document : {"Job1", "Job2", "Job4"})
        if (jobEnds[document] != 1)
            broken.push_back(std::string(document) +
                             "'s application did not hear its job end once");
    if (jobEnds["Job3"] != 0) broken.push_back("the cancelled job's application heard a job end");
    return Result("concurrency/four-ports-at-once", start, broken);
}

std::string ProgramPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

DWORD FirstWriteTick(JobRun& run) {
    auto writes = run.lower.calls(run.name, PortOp::WritePort);
    return writes.empty() ? 0 : writes.front().tick;
}

DWORD LastWriteTick(JobRun& run) {
    auto writes = run.lower.calls(run.name, PortOp::WritePort);
    return writes.empty() ? 0 : writes.back().tick;
}

// A second process claims the port while a job of this one runs on it: it
// waits for the port's mutex and prints after the first job, nothing interleaved.
CaseResult SamePortTwoProcesses() {
    DWORD start = GetTickCount();
    std::vector<std::string> broken;
    const std::string port = "LPT8";
    JobRun run(&ProgramDll().table, port);
    BuiltJob job = BuildSimpleJob(3);
    ProgramRun second;
    RunBounded("the port claimed by two processes", 2 * JOB_BOUND_MS, [&] {
        if (!run.start()) return;
        size_t half = job.stream.size() / 2;
        run.write(std::vector<u8>(job.stream.begin(), job.stream.begin() + static_cast<long>(half)),
                  CHUNK);
        Background other([&] {
            second = RunProgram("\"" + ProgramPath() + "\" --same-port-second --port " + port,
                                false, 60000);
        });
        Sleep(2000);  // the second process is waiting for the port by now
        run.write(std::vector<u8>(job.stream.begin() + static_cast<long>(half), job.stream.end()),
                  CHUNK);
        run.end();
    });
    DWORD lastWrite = LastWriteTick(run);
    unsigned long waited = 0, firstWrite = 0, printed = 0;
    if (!second.finished ||
        std::sscanf(second.output.c_str(), "WAITED %lu FIRST_WRITE %lu PRINTED %lu", &waited,
                    &firstWrite, &printed) != 3) {
        broken.push_back("the second process said: " + second.output.substr(0, 200));
    } else {
        if (firstWrite < lastWrite)
            broken.push_back("the second process wrote before the first job ended");
        if (printed != 3)
            broken.push_back("the second process printed " + std::to_string(printed) + " pages");
        if (waited < 500) broken.push_back("the second process did not wait for the port");
    }
    if (run.printer().printed != job.pages)
        broken.push_back("the first process's job printed wrong");
    return Result("concurrency/one-port-two-processes", start, broken);
}

void Forget(JobRun& run) {
    run.lower.withLock([&] {
        EmulatedPrinter& printer = run.printer();
        std::vector<u8>().swap(printer.received);
        std::vector<std::vector<u8>>().swap(printer.printed);
    });
    run.lower.clearCalls(run.name);
}

void PrintFigures(const char* what, const Resources& at10, const Resources& end) {
    std::printf(
        "%-28s handles %zu -> %zu, heap bytes %zu -> %zu, private bytes %zu -> %zu, threads %zu -> "
        "%zu\n",
        what, at10.handles, end.handles, at10.heapBytes, end.heapBytes, at10.privateBytes,
        end.privateBytes, at10.threads, end.threads);
}

// Growth past job 10 beyond a small fixed allowance is a leak.
bool Flat(const Resources& at10, const Resources& end) {
    return end.handles <= at10.handles + 8 && end.heapBytes <= at10.heapBytes + 256 * 1024 &&
           end.privateBytes <= at10.privateBytes + 4 * 1024 * 1024 &&
           end.threads <= at10.threads + 2;
}

// Every hundredth job a line, so a long run shows its course as it goes.
void Progress(const char* what, int job, const Resources& at10) {
    if (job % 100 != 0) return;
    char label[48];
    std::snprintf(label, sizeof label, "%s, job %d", what, job);
    PrintFigures(label, at10, MeasureResources());
    std::fflush(stdout);
}

bool PrintOneJob(JobRun& run, const BuiltJob& job) {
    bool ok = run.start() && run.write(job.stream, CHUNK) && run.end();
    Forget(run);
    return ok;
}

}  // namespace

std::vector<CaseResult> RunConcurrencyChecks() {
    return {FourPortsAtOnce(), SamePortTwoProcesses()};
}

int SamePortSecondProcess(const std::string& port) {
    JobRun run(&ProgramDll().table, port);
    BuiltJob job = BuildSimpleJob(3);
    DWORD before = GetTickCount();
    if (!run.start()) {
        std::printf("StartDocPort failed\n");
        return 1;
    }
    DWORD waited = GetTickCount() - before;
    run.write(job.stream, CHUNK);
    run.end();
    std::printf("WAITED %lu FIRST_WRITE %lu PRINTED %zu\n", waited, FirstWriteTick(run),
                run.printer().printed.size());
    return 0;
}

int RunSoak(int jobs, int cycles) {
    BuiltJob job = BuildSimpleJob(1);
    Resources at10, end;
    int failed = 0;
    {
        JobRun run(&ProgramDll().table, "LPT9");
        for (int i = 1; i <= jobs; ++i) {
            if (!PrintOneJob(run, job)) ++failed;
            if (i == 10) at10 = MeasureResources();
            Progress("one open port", i, at10);
        }
        end = MeasureResources();
    }
    PrintFigures("one open port", at10, end);
    bool flat = Flat(at10, end);
    for (int i = 1; i <= cycles; ++i) {
        {
            JobRun run(&ProgramDll().table, "LPT9");
            if (!PrintOneJob(run, job)) ++failed;
        }
        if (i == 10) at10 = MeasureResources();
        Progress("open and close each job", i, at10);
    }
    end = MeasureResources();
    PrintFigures("open and close each job", at10, end);
    flat = flat && Flat(at10, end);
    std::printf("soak: %d + %d jobs, %d failed, %s\n", jobs, cycles, failed,
                flat ? "flat" : "GROWING");
    return failed == 0 && flat ? 0 : 1;
}
