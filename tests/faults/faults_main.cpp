// The fault matrix: every case a whole job through the real DLL with one
// fault, judged by one set of invariants. The runner takes a census of the
// fault-free jobs, generates the cases and hands them in batches to worker
// processes (the same program with --worker), so that a case that crashes or
// hangs its process costs only itself; then prints the table.
//   faults.exe [--sample] [--jobs N] [--filter TEXT]   the matrix (a sample of it)
//   faults.exe --soak [--soak-jobs N] [--cycles M]     the endurance run
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "faults/concurrency.h"
#include "faults/fault_job.h"
#include "faults/system_faults.h"
#include "faults/workers.h"
#include "rig/network_monitor.h"
#include "rig/spooler.h"

namespace {

constexpr char CENSUS_VARIABLE[] = "QXL_FAULT_CENSUS";
constexpr int BATCH = 8;

bool Prepare() {
    if (!ProgramDll().module) {
        std::fprintf(stderr, "faults: cannot load qxlmon.dll\n");
        return false;
    }
    RegisterNetworkPortMonitor();
    std::string ports;
    for (int slot = 1; slot <= 9; ++slot) ports += PortForSlot("NX61", slot) + ",";
    SetNetworkPorts(ports);
    if (!InstallSystemHooks(ProgramDll().module)) {
        std::fprintf(stderr, "faults: cannot hook the DLL's imports\n");
        return false;
    }
    return true;
}

FaultCase CleanCase(const std::string& port, bool multiCopy) {
    FaultCase c;
    c.name = "census/" + JobKey(port, multiCopy);
    c.port = port;
    c.multiCopy = multiCopy;
    return c;
}

Censuses TakeCensus() {
    Censuses censuses;
    for (const std::string& port : MatrixPorts())
        censuses[JobKey(port, false)] = RunFaultJob(CleanCase(port, false), 1, nullptr).census;
    censuses[JobKey("LPT6", true)] = RunFaultJob(CleanCase("LPT6", true), 1, nullptr).census;
    return censuses;
}

int RunWorker(bool sample, int slot, const std::string& list) {
    if (!Prepare()) return 1;
    char text[8192] = {};
    GetEnvironmentVariableA(CENSUS_VARIABLE, text, sizeof text);
    std::vector<FaultCase> cases = GenerateCases(DecodeCensuses(text), sample);
    std::map<std::string, Pages> references;
    std::vector<size_t> indices;
    for (size_t at = 0; at < list.size();) {
        size_t comma = list.find(',', at);
        indices.push_back(std::stoul(list.substr(at, comma - at)));
        at = comma == std::string::npos ? list.size() : comma + 1;
    }
    for (size_t i : indices) {
        if (i >= cases.size()) continue;
        const FaultCase& c = cases[i];
        std::string key = JobKey(c.port, c.multiCopy);
        // The fault-free job of the kind: its pages, and the warm-up the
        // resource counts need (first-use allocations are not leaks).
        if (!references.count(key))
            references[key] = RunFaultJob(CleanCase(c.port, c.multiCopy), slot, nullptr).printed;
        std::printf("CASE %zu\n", i);
        std::fflush(stdout);
        JobVerdict verdict = RunFaultJob(c, slot, &references[key]);
        std::printf("%s %zu %lu", verdict.broken.empty() ? "PASS" : "FAIL", i,
                    verdict.milliseconds);
        for (const std::string& line : verdict.broken) std::printf("\t%s", line.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
    std::printf("DONE\n");
    return 0;
}

int RunMatrix(bool sample, int jobs, const std::string& filter) {
    if (!Prepare()) return 1;
    Censuses censuses = TakeCensus();
    SetEnvironmentVariableA(CENSUS_VARIABLE, EncodeCensuses(censuses).c_str());
    std::vector<FaultCase> cases = GenerateCases(censuses, sample);
    std::vector<size_t> chosen;
    for (size_t i = 0; i < cases.size(); ++i)
        if (filter.empty() || cases[i].name.find(filter) != std::string::npos) chosen.push_back(i);
    std::printf("faults: %zu cases%s\n", chosen.size(), sample ? " (sample)" : "");
    std::fflush(stdout);

    std::vector<CaseResult> results = RunInWorkers(chosen, BATCH, jobs, sample);
    for (CaseResult& result : RunConcurrencyChecks()) results.push_back(result);
    int status = PrintTable(
        results, [&](size_t i) { return i < cases.size() ? cases[i].name : std::string("?"); });
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto has = [&](const char* flag) {
        return std::find(args.begin(), args.end(), flag) != args.end();
    };
    auto value = [&](const char* flag, const std::string& fallback) {
        auto at = std::find(args.begin(), args.end(), flag);
        return at != args.end() && at + 1 != args.end() ? *(at + 1) : fallback;
    };
    bool sample = has("--sample");
    if (has("--worker"))
        return RunWorker(sample, std::stoi(value("--slot", "1")), value("--cases", ""));
    if (has("--same-port-second")) return SamePortSecondProcess(value("--port", ""));
    if (has("--soak")) {
        if (!Prepare()) return 1;
        return RunSoak(std::stoi(value("--soak-jobs", "1000")),
                       std::stoi(value("--cycles", "200")));
    }
    return RunMatrix(sample, std::stoi(value("--jobs", "4")), value("--filter", ""));
}
