// Timings of the real qxlmon.dll under Wine, measured with the performance
// counter: WritePort throughput over a large job, and OpenPortEx/ClosePort
// pairs per second. Only printed; the numbers depend on the machine and Wine.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "rig/job_run.h"
#include "rig/network_monitor.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

struct JobTiming {
    bool ok = false;
    double firstWrite = 0;  // includes the launch of the status monitor application
    double rest = 0;        // every later WritePort, page handshakes included
    double endDoc = 0;      // EndDocPort: job end notification, the application's exit
    size_t restBytes = 0;
};

// One job through the DLL. Pages stay under the raster line limit (zero lines
// count too), so each page is one handshake with the printer: the emulated
// printer runs its print cycle only at a page end, and a split would wait for
// a cycle that never comes.
JobTiming TimeJob(MonitorTable* table, const char* portName, const BuiltJob& job, u32 chunk) {
    JobTiming t;
    JobRun run(table, portName);
    if (!run.opened || !run.start()) return t;
    size_t offset = 0;
    bool writesOk = true;
    LARGE_INTEGER begin = Now(), afterFirst = begin;
    // Bounded like the spooler's own loop: a call that takes nothing ends the job.
    for (size_t calls = 0; offset < job.stream.size() && calls < 1000000; ++calls) {
        u32 n = static_cast<u32>(std::min<size_t>(chunk, job.stream.size() - offset));
        u32 written = 0;
        BOOL ok = table->WritePort(run.spooler.handle, const_cast<u8*>(job.stream.data() + offset), n, &written);
        if (calls == 0) afterFirst = Now();
        else t.restBytes += written;
        if (!ok || written == 0) {
            writesOk = false;
            break;
        }
        offset += written;
    }
    LARGE_INTEGER afterWrites = Now();
    BOOL ended = run.end();
    LARGE_INTEGER afterEnd = Now();
    t.firstWrite = Seconds(begin, afterFirst);
    t.rest = Seconds(afterFirst, afterWrites);
    t.endDoc = Seconds(afterWrites, afterEnd);
    t.ok = writesOk && ended && offset == job.stream.size() &&
           WithoutStatusRequests(run.received()) == job.portBytes;
    return t;
}

bool ThroughputRuns(MonitorTable* table, int pages, int runs) {
    // 500 lines of 90 bytes and 100 zero lines: about 45 KB per page.
    BuiltJob job = BuildSimpleJob(pages, 500, 90);
    double mb = static_cast<double>(job.stream.size()) / (1024.0 * 1024.0);
    std::printf("WritePort: %d pages, %.2f MB per job, best of %d runs; MB/s and ms per page count the\n"
                "writes after the first, page handshakes and notifications included\n",
                pages, mb, runs);
    // USB ports drain the printer's queued packets before each page's status
    // request until a read times out, so every page there costs the poll time.
    for (const char* portName : {"QXUSB001", "LPT1"}) {
        for (u32 chunk : {4096u, 65536u}) {
            JobTiming best;
            for (int i = 0; i < runs; ++i) {
                JobTiming t = TimeJob(table, portName, job, chunk);
                if (!t.ok) {
                    std::printf("  %-8s %6u-byte chunks: the job did not come through intact\n", portName, chunk);
                    return false;
                }
                if (i == 0 || t.rest < best.rest) best = t;
            }
            double restMb = static_cast<double>(best.restBytes) / (1024.0 * 1024.0);
            std::printf("  %-8s %6u-byte chunks: %7.2f MB/s, %6.1f ms per page; first write (with the "
                        "launch) %.0f ms, EndDocPort %.0f ms\n",
                        portName, chunk, best.rest > 0 ? restMb / best.rest : 0.0, best.rest * 1000.0 / pages,
                        best.firstWrite * 1000.0, best.endDoc * 1000.0);
        }
    }
    return true;
}

bool OpenCloseRuns(MonitorTable* table, int pairs) {
    FakePortMonitor lower;
    LARGE_INTEGER begin = Now();
    for (int i = 0; i < pairs; ++i) {
        SpoolerPort port{table};
        if (!port.open("QXUSB002", lower.table()) || !port.close()) {
            std::printf("OpenPortEx/ClosePort: pair %d failed (error %lu)\n", i, GetLastError());
            return false;
        }
    }
    double s = Seconds(begin, Now());
    std::printf("OpenPortEx/ClosePort: %d pairs in %.1f ms = %.0f pairs/s\n", pairs, s * 1000.0,
                s > 0 ? pairs / s : 0.0);
    return true;
}

constexpr DWORD WATCHDOG_MS = 600000;

// A job that stops moving would hold the page handshake, which has no
// deadline, for ever: the whole run is bounded instead.
DWORD WINAPI Watchdog(void*) {
    Sleep(WATCHDOG_MS);
    std::printf("qxltiming: no end after %lu s, giving up\n", WATCHDOG_MS / 1000);
    ExitProcess(2);
}

int Argument(int argc, char** argv, int index, int fallback) {
    return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

}  // namespace

// qxltiming [pages [runs [pairs]]]
int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    int pages = Argument(argc, argv, 1, 50);
    int runs = Argument(argc, argv, 2, 2);
    int pairs = Argument(argc, argv, 3, 2000);
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (watchdog != nullptr) CloseHandle(watchdog);
    LoadedMonitor monitor;
    std::string path = ProgramDirectory() + "qxlmon.dll";
    if (!LoadMonitorDll(path.c_str(), monitor)) {
        std::printf("qxltiming: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    std::printf("qxltiming: the real qxlmon.dll under Wine, timed with QueryPerformanceCounter\n");
    bool ok = ThroughputRuns(&monitor.table, pages, runs);
    ok = OpenCloseRuns(&monitor.table, pairs) && ok;
    return ok ? 0 : 1;
}
