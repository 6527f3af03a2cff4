// A print server's worth of ports printing at once in one process, beside each
// port kind alone, and labels per minute with a printer that takes a second a
// label.
#include <cstdio>
#include <latch>
#include <memory>

#include "rig/job_case.h"
#include "rig/network_monitor.h"
#include "timing.h"

namespace {

constexpr int PER_KIND = 4;
// Each port at once is its kind's prefix and a number; network ports must be
// among the network port monitor stand-in's.
constexpr const char* NETWORK_PORTS = "NX1,NX41,NX42,NX43,NX44,NX49";

struct KindAtOnce {
    const char* kind;
    const char* prefix;
};

std::vector<KindAtOnce> KindsAtOnce() {
    std::vector<KindAtOnce> kinds = {{"USB", "QXUSB4"}, {"serial", "QXCOM4"}, {"parallel", "LPT4"}};
    for (const PortKind& kind : PortKinds())
        if (kind.kind == std::string("network")) kinds.push_back({"network", "NX4"});
    return kinds;
}

// One port's job through the real monitor: its wall time, and the pages the
// printer printed.
struct PortJob {
    std::string port;
    std::string document;
    SpoolerPort spooler;
    double wall = 0;
    bool ok = false;
    std::vector<std::vector<u8>> printed;
};

// The first write of a byte starts the job's application, which takes long
// under Wine; the time counts from when every job has started (go is set) to
// the return of the last write, as in the cost per page: EndDocPort waits
// for the application to exit.
void RunPortJob(PortJob& job, u32 jobId, const BuiltJob& built, std::latch& started, HANDLE go) {
    std::vector<u8> first(built.stream.begin(), built.stream.begin() + 1);
    std::vector<u8> rest(built.stream.begin() + 1, built.stream.end());
    job.ok = job.spooler.startDoc("Label", jobId, job.document.c_str()) && job.spooler.writeAll(first, 1);
    started.count_down();
    WaitForSingleObject(go, INFINITE);
    LONGLONG start = CounterNow();
    job.ok = job.ok && job.spooler.writeAll(rest, CHUNK);
    job.wall = CounterSeconds(start, CounterNow());
    job.ok = job.spooler.endDoc() && job.ok;
}

// The machine's CPU time, busy and in all, in clock ticks (Linux's /proc/stat).
struct MachineTicks {
    double busy = 0, all = 0;
};

MachineTicks MachineNow() {
    HANDLE file = CreateFileA("Z:\\proc\\stat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char text[256] = {};
    DWORD got = 0;
    ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    double v[8] = {};
    if (std::sscanf(text, "cpu %lf %lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                    &v[6], &v[7]) != 8)
        return {};
    double all = v[0] + v[1] + v[2] + v[3] + v[4] + v[5] + v[6] + v[7];
    return {all - v[3] - v[4], all};  // idle and waiting for I/O are not busy
}

// Jobs on ports at once in this process, each with its own status monitor
// application.
struct AtOnce {
    std::vector<std::unique_ptr<PortJob>> jobs;
    Usage used;                       // this process's, over all the jobs
    double machineBusy = -1;          // of all the machine's cores over them, 0..1
    double opening = 0, closing = 0;  // seconds, all the ports one after the other
    bool opened = true;
};

AtOnce PrintAtOnce(MonitorTable* table, FakePortMonitor& lower, const std::vector<std::string>& ports,
                   const BuiltJob& built) {
    AtOnce run;
    lower.emptyReads = EmptyReads::AtOnce;
    LONGLONG start = CounterNow();
    for (const std::string& port : ports) {
        auto job = std::make_unique<PortJob>();
        job->port = port;
        job->document = "Labels " + port;
        lower.port(port).printer.portKind = PrinterPortFor(port);
        job->spooler.table = table;
        run.opened = job->spooler.open(port.c_str(), lower.table()) && run.opened;
        run.jobs.push_back(std::move(job));
    }
    run.opening = CounterSeconds(start, CounterNow());
    std::latch started(static_cast<std::ptrdiff_t>(run.jobs.size()));
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Usage before;
    {
        std::vector<std::unique_ptr<Background>> threads;
        for (size_t i = 0; i < run.jobs.size(); ++i)
            threads.push_back(std::make_unique<Background>([&, i] {
                RunPortJob(*run.jobs[i], static_cast<u32>(i + 1), built, started, go);
            }));
        started.wait();
        before = UsageNow();
        MachineTicks machine = MachineNow();
        SetEvent(go);
        threads.clear();
        MachineTicks after = MachineNow();
        if (after.all > machine.all) run.machineBusy = (after.busy - machine.busy) / (after.all - machine.all);
    }
    run.used = UsageNow() - before;
    CloseHandle(go);
    start = CounterNow();
    for (auto& job : run.jobs) job->spooler.close();
    run.closing = CounterSeconds(start, CounterNow());
    for (auto& job : run.jobs)
        lower.withLock([&] { job->printed = lower.port(job->port).printer.printed; });
    return run;
}

bool PrintedOnceInOrder(const AtOnce& run, const BuiltJob& built) {
    for (const auto& job : run.jobs)
        if (!job->ok || job->printed != built.pages) return false;
    return true;
}

std::string PerSecond(double rate) { return Fixed(rate, 0); }

unsigned long CoreCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

}  // namespace

bool PrintPortsAtOnce(const Monitors& monitors, const Options& options) {
    std::vector<KindAtOnce> kinds = KindsAtOnce();  // registers the network stand-in
    SetNetworkPorts(NETWORK_PORTS);
    BuiltJob built = BuildSimpleJob(JOB_PAGES, 500, 90);
    StatmonEnvironment statmon;  // every job's application is the stand-in

    // Each kind alone first: medians of the runs.
    std::vector<double> aloneWall(kinds.size()), aloneCpu(kinds.size());
    bool ok = true;
    for (size_t k = 0; k < kinds.size(); ++k) {
        std::vector<double> wall, cpu;
        for (int r = 0; r < options.runs; ++r) {
            FakePortMonitor lower;
            AtOnce alone = PrintAtOnce(monitors.real, lower, {std::string(kinds[k].prefix) + "9"}, built);
            ok = alone.opened && PrintedOnceInOrder(alone, built) && ok;
            wall.push_back(alone.jobs[0]->wall / JOB_PAGES);
            cpu.push_back(alone.used.cpu / JOB_PAGES);
        }
        aloneWall[k] = Median(wall);
        aloneCpu[k] = Mean(cpu);
    }

    std::vector<std::string> ports;
    for (const KindAtOnce& kind : kinds)
        for (int i = 1; i <= PER_KIND; ++i) ports.push_back(kind.prefix + std::to_string(i));
    FakePortMonitor lower;
    AtOnce together = PrintAtOnce(monitors.real, lower, ports, built);
    SetNetworkPorts("NX1");
    bool inOrder = together.opened && PrintedOnceInOrder(together, built);

    PrintHeading("A print server's ports at once");
    std::printf(
        "%zu ports (%d of each kind but \"other\") print a %d-page job each (pages as above) at once in one "
        "process, each job with its own status monitor application, a printer that answers at once and "
        "a port monitor whose ReadPort returns at once; beside it one port of each kind alone (medians "
        "of %d runs). Each job's first write of one byte starts its application; the times count "
        "from when every job has started: wall is each port's, to the return of its last write, per "
        "page (at once: the median of its kind's ports), CPU this process's per page of all ports.\n\n"
        "| port | one port alone: wall ms/page | at once: wall ms/page | wall ratio (goal <= 1.5) | "
        "alone: CPU ms/page | at once: CPU ms/page | CPU ratio (goal <= 1.5) | every page once and in "
        "order |\n|---|---|---|---|---|---|---|---|\n",
        ports.size(), PER_KIND, JOB_PAGES, options.runs);
    std::vector<double> allAlone;
    for (size_t k = 0; k < kinds.size(); ++k) {
        std::vector<double> wall;
        bool kindInOrder = together.opened;
        for (const auto& job : together.jobs)
            if (job->port.rfind(kinds[k].prefix, 0) == 0) {
                wall.push_back(job->wall / JOB_PAGES);
                kindInOrder = kindInOrder && job->ok && job->printed == built.pages;
            }
        std::printf("| %s | %s | %s | %s | | | | %s |\n", kinds[k].kind, Ms(aloneWall[k], 1).c_str(),
                    Ms(Median(wall), 1).c_str(), Ratio(Median(wall), aloneWall[k]).c_str(),
                    kindInOrder ? "yes" : "no");
        allAlone.push_back(aloneCpu[k]);
    }
    double cpuAlone = Mean(allAlone);
    double pagesAtOnce = static_cast<double>(JOB_PAGES * ports.size());
    double cpuTogether = together.used.cpu / pagesAtOnce;
    std::printf("| all %zu | | | | %s | %s | %s | %s |\n", ports.size(), Ms(cpuAlone, 2).c_str(),
                Ms(cpuTogether, 2).c_str(), Ratio(cpuTogether, cpuAlone).c_str(), inOrder ? "yes" : "no");
    std::string server =
        together.used.server < 0 ? "n/a" : Ms(together.used.server / pagesAtOnce, 2) + " ms a page";
    std::printf(
        "\nWhile they printed the machine's %lu cores were %s %% busy (this process, the wineserver, "
        "which serves every wait, mutex and message of all %zu jobs and is one thread, the %zu "
        "applications and Xvfb); the wineserver took %s. OpenPortEx of the %zu ports one after the other: %s a second; "
        "ClosePort: %s a second.\n",
        CoreCount(), Fixed(together.machineBusy * 100, 0).c_str(), ports.size(), ports.size(),
        server.c_str(), ports.size(), PerSecond(ports.size() / together.opening).c_str(),
        PerSecond(ports.size() / together.closing).c_str());
    return ok && inOrder;
}

bool PrintLabelsPerMinute(const Monitors& monitors, const Options&) {
    constexpr int LABELS = 50;
    constexpr u32 LABEL_MS = 1000;
    PrintHeading("Labels per minute");
    std::printf(
        "A %d-label job (labels as above) on a printer that takes %u ms to print each label, so that "
        "it prints at most 60 a minute. A label is out when its print cycle ends; times count from "
        "StartDocPort (the application's start under Wine is in the first label's time). After the "
        "last label EndDocPort still waits for the application to exit, which is not counted. One "
        "run each.\n\n"
        "| port | the port monitor's ReadPort when no data waits | first label out, s | last label "
        "out, s | labels per minute over the job (goal >= 58) | labels per minute after the first |\n"
        "|---|---|---|---|---|---|\n",
        LABELS, LABEL_MS);
    BuiltJob built = BuildSimpleJob(LABELS, 500, 90);
    bool ok = true;
    for (const PortKind& kind : PortKinds())
        for (EmptyReads mode : {EmptyReads::Blocking, EmptyReads::AtOnce}) {
            JobRun run(monitors.real, kind.port);
            run.lower.emptyReads = mode;
            run.printer().pageMs = LABEL_MS;
            DWORD start = GetTickCount();
            JobSpan span = DriveJob(monitors.real, run, built.stream, CHUNK);
            std::vector<DWORD> ends;  // a page's end, from which its label takes LABEL_MS
            run.lower.withLock([&] { ends = run.printer().printedTicks; });
            bool intact = span.ok && run.printer().printed == built.pages && ends.size() == LABELS;
            ok = intact && ok;
            if (!intact) {
                std::printf("| %s | %s | the job did not come through intact ||||\n", kind.kind,
                            EmptyReadsName(mode));
                continue;
            }
            double first = (ends.front() + LABEL_MS - start) / 1000.0;
            double last = (ends.back() + LABEL_MS - start) / 1000.0;
            std::printf("| %s | %s | %.2f | %.2f | %s | %s |\n", kind.kind, EmptyReadsName(mode), first,
                        last, Fixed(LABELS * 60.0 / last, 1).c_str(),
                        Fixed((LABELS - 1) * 60.0 / (last - first), 1).c_str());
        }
    return ok;
}
