// Timings of the real qxlmon.dll under Wine, beside a pass-through monitor in
// the same run: the CPU a job burns while the printer prints, the monitor's
// own cost per page, 16 ports at once, labels per minute on a printer of a
// second a label, the rebuild of big multi-copy jobs and the memory of a long
// plain job. Printed as Markdown; never checked.
#include "timing.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rig/network_monitor.h"

namespace {

double FileTimeSeconds(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 1e7;
}

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

// Wine's server opens files on behalf of its processes, so /proc/self there is
// the wineserver itself: its user and system times, in clock ticks of 10 ms.
// Every wait, mutex and message of the monitor goes through it.
double ServerCpuSeconds() {
    HANDLE file = CreateFileA("Z:\\proc\\self\\stat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    char text[1024] = {};
    DWORD got = 0;
    BOOL read = ReadFile(file, text, sizeof text - 1, &got, nullptr);
    CloseHandle(file);
    const char* close = read ? std::strrchr(text, ')') : nullptr;
    if (close == nullptr || std::strstr(text, "(wineserver") == nullptr) return -1;
    // After the name: state, then ten fields before utime and stime.
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return static_cast<double>(utime + stime) / 100.0;
}

constexpr DWORD WATCHDOG_MS = 3600000;

// A job that stops moving would hold the page handshake, which has no
// deadline, for ever: the whole run is bounded instead.
DWORD WINAPI Watchdog(void*) {
    Sleep(WATCHDOG_MS);
    std::printf("qxltiming: no end after %lu s, giving up\n", WATCHDOG_MS / 1000);
    ExitProcess(2);
}

// Each OpenPortEx asks the spooler for its ports twice; Wine's EnumPortsA
// keeps 3 handles and about 29 KB of every call, and a 32-bit process under
// Wine aborts after some 700 calls. make bench runs each section in a process
// of its own, and no section opens more ports than this.
constexpr int OPEN_CLOSE_PAIRS = 200;

bool PrintOpenClose(MonitorTable* table, int pairs) {
    FakePortMonitor lower;
    Usage before = UsageNow();
    for (int i = 0; i < pairs; ++i) {
        SpoolerPort port{table};
        if (!port.open("QXUSB002", lower.table()) || !port.close()) {
            std::printf("OpenPortEx/ClosePort: pair %d failed (error %lu)\n", i, GetLastError());
            return false;
        }
    }
    Usage used = UsageNow() - before;
    PrintHeading("Opening and closing ports");
    std::printf(
        "| pairs | OpenPortEx/ClosePort pairs per second | CPU ms per pair |\n|---|---|---|\n"
        "| %d | %.0f | %.3f |\n",
        pairs, pairs / used.wall, used.cpu * 1000.0 / pairs);
    return true;
}

bool Wanted(const std::vector<std::string>& sections, const char* name) {
    return sections.empty() || std::find(sections.begin(), sections.end(), name) != sections.end();
}

}  // namespace

void PrintHeading(const char* title) {
    char load[64] = {};
    HANDLE file = CreateFileA("Z:\\proc\\loadavg", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD got = 0;
    if (file != INVALID_HANDLE_VALUE) {
        ReadFile(file, load, sizeof load - 1, &got, nullptr);
        CloseHandle(file);
    }
    float one = 0, five = 0, fifteen = 0;
    if (std::sscanf(load, "%f %f %f", &one, &five, &fifteen) == 3)
        std::printf("\n### %s\n\nLoad average at the start: %.2f %.2f %.2f.\n\n", title, one, five, fifteen);
    else
        std::printf("\n### %s\n\n", title);
}

LONGLONG CounterNow() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double CounterSeconds(LONGLONG from, LONGLONG to) {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return static_cast<double>(to - from) / static_cast<double>(frequency);
}

Usage UsageNow() {
    static const LONGLONG origin = CounterNow();
    return {CounterSeconds(origin, CounterNow()), ProcessCpuSeconds(), ServerCpuSeconds()};
}

Usage operator-(const Usage& later, const Usage& earlier) {
    bool server = later.server >= 0 && earlier.server >= 0;
    return {later.wall - earlier.wall, later.cpu - earlier.cpu, server ? later.server - earlier.server : -1};
}

double Median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Mean(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values) {
        if (v < 0) return -1;
        sum += v;
    }
    return values.empty() ? -1 : sum / static_cast<double>(values.size());
}

double Max(const std::vector<double>& values) {
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

std::string Ms(double seconds, int decimals) { return Fixed(seconds < 0 ? -1 : seconds * 1000, decimals); }

const char* EmptyReadsName(EmptyReads mode) {
    return mode == EmptyReads::Blocking ? "blocks for its time-out" : "returns at once";
}

std::string Ratio(double a, double b) { return a >= 0 && b > 0 ? Fixed(a / b, 1) : "n/a"; }

std::string Fixed(double value, int decimals) {
    if (value < 0) return "n/a";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::vector<PortKind> PortKinds() {
    static const bool network = [] {
        if (!RegisterNetworkPortMonitor()) return false;
        SetNetworkPorts("NX1");
        return true;
    }();
    std::vector<PortKind> kinds = {{"QXUSB001", "USB"}, {"QXCOM1", "serial"}, {"LPT1", "parallel"}};
    if (network) kinds.push_back({"NX1", "network"});
    kinds.push_back({"PORT1", "other"});
    return kinds;
}

JobSpan DriveJob(MonitorTable* table, JobRun& run, const std::vector<u8>& stream, u32 chunk) {
    JobSpan span;
    if (!run.opened || !run.start() || stream.empty()) return span;
    std::vector<u8> buffer;  // the spooler hands over a buffer of its own
    size_t offset = 0;
    Usage begin;
    // Bounded like the spooler's own loop: a call that takes nothing ends the job.
    for (size_t calls = 0; offset < stream.size() && calls < 10000000; ++calls) {
        u32 n = static_cast<u32>(std::min<size_t>(calls == 0 ? 1 : chunk, stream.size() - offset));
        buffer.assign(stream.begin() + static_cast<long>(offset),
                      stream.begin() + static_cast<long>(offset + n));
        u32 written = 0;
        BOOL ok = table->WritePort(run.spooler.handle, buffer.data(), n, &written);
        if (calls == 0) {
            span.reads = run.lower.count(run.name, PortOp::ReadPort);
            span.requests = run.lower.count(run.name, PortOp::GetPrinterDataFromPort);
            begin = UsageNow();
        }
        if (!ok || written == 0) break;
        offset += std::min(written, n);
    }
    span.writes = UsageNow() - begin;
    span.reads = run.lower.count(run.name, PortOp::ReadPort) - span.reads;
    span.requests = run.lower.count(run.name, PortOp::GetPrinterDataFromPort) - span.requests;
    span.ok = run.end() && offset == stream.size();
    return span;
}

// qxltiming [--runs N] [--flat-mb N] [spin] [pages] [ports] [labels] [rebuild] [flat] [openclose]
int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    std::vector<std::string> sections;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--flat-mb" && i + 1 < argc) {
            options.flatMb = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "spin" || arg == "pages" || arg == "ports" || arg == "labels" ||
                   arg == "rebuild" || arg == "flat" || arg == "openclose") {
            sections.push_back(arg);
        } else {
            std::printf(
                "usage: qxltiming [--runs N] [--flat-mb N] [spin] [pages] [ports] [labels] [rebuild] [flat]\n"
                "                 [openclose]\n"
                "  spin       CPU while a slow printer prints, every port kind, both kinds of ReadPort\n"
                "  pages      the monitor's cost per page beside the pass-through monitor\n"
                "  ports      16 ports printing at once beside each port kind alone\n"
                "  labels     labels per minute on a printer that takes a second a label\n"
                "  rebuild    a 200-page job of 50 copies rebuilt, against WriteFile\n"
                "  flat       memory through a long plain job (--flat-mb, default %d)\n"
                "  openclose  OpenPortEx/ClosePort pairs\n"
                "Without a section, all of them; --runs sets the runs whose median is shown (default %d).\n",
                Options{}.flatMb, Options{}.runs);
            return arg == "--help" ? 0 : 2;
        }
    }
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (watchdog != nullptr) CloseHandle(watchdog);

    LoadedMonitor real, passThrough;
    std::string directory = ProgramDirectory();
    if (!LoadMonitorDll((directory + "qxlmon.dll").c_str(), real)) {
        std::printf("qxltiming: cannot load %sqxlmon.dll (error %lu)\n", directory.c_str(), GetLastError());
        return 1;
    }
    Monitors monitors{&real.table, nullptr};
    if (LoadMonitorDll((directory + "qxlpassthru.dll").c_str(), passThrough))
        monitors.passThrough = &passThrough.table;
    if (ServerCpuSeconds() < 0) std::printf("(the wineserver's CPU time cannot be read here: n/a below)\n");

    bool ok = true;
    if (Wanted(sections, "spin")) ok = PrintWaitCosts(monitors, options) && ok;
    if (Wanted(sections, "pages")) ok = PrintPageCosts(monitors, options) && ok;
    if (Wanted(sections, "ports")) ok = PrintPortsAtOnce(monitors, options) && ok;
    if (Wanted(sections, "labels")) ok = PrintLabelsPerMinute(monitors, options) && ok;
    if (Wanted(sections, "rebuild")) ok = PrintRebuildCosts(options) && ok;
    if (Wanted(sections, "flat")) ok = PrintFlatMemory(monitors, options) && ok;
    if (Wanted(sections, "openclose")) ok = PrintOpenClose(&real.table, OPEN_CLOSE_PAIRS) && ok;
    return ok ? 0 : 1;
}
