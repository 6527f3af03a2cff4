// The demo: acts as the spooler, loads the real qxlmon.dll and runs whole jobs
// through it to the emulated printer, with the QXSMON.EXE stand-in in front,
// and prints what each party saw. Exit 0 when everything came out as expected.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "rig/job_run.h"
#include "rig/network_monitor.h"
#include "statmon/statmon_interface.h"

namespace {

std::vector<std::string> g_failures;

void Check(bool ok, const std::string& what) {
    if (!ok) g_failures.push_back(what);
}

const char* Bool(BOOL value) { return value ? "TRUE" : "FALSE"; }

// Prints one table call and its result; the result counts as a check.
BOOL Call(const char* text, BOOL result) {
    std::printf("  %-44s -> %s\n", text, Bool(result));
    Check(result != FALSE, std::string(text) + " failed");
    return result;
}

std::string NotifyName(u32 code) {
    switch (code) {
        case NotifyJobStart: return "NotifyJobStart";
        case NotifyMediaSettings: return "NotifyMediaSettings";
        case NotifyProgress: return "NotifyProgress";
        case NotifyMediaStatus: return "NotifyMediaStatus";
        case NotifySystemError: return "NotifySystemError";
        case NotifyJobEnd: return "NotifyJobEnd";
        case NotifyConnect: return "NotifyConnect";
        case NotifyPrinting: return "NotifyPrinting";
        case NotifyWaiting: return "NotifyWaiting";
        case NotifyPrinterNotice: return "NotifyPrinterNotice";
    }
    char text[48];
    std::snprintf(text, sizeof text, "state (%u, %u)%s", code >> 16, code & 0xFFFF,
                  code == 0x20005 ? ": cover open" : "");
    return text;
}

const char* ReplyName(u32 state) {
    switch (state) {
        case REPLY_CONTINUE: return "continue";
        case REPLY_PAUSE: return "pause";
        case REPLY_CANCEL: return "cancel";
    }
    return "?";
}

u16 BlockU16(const StatmonRecord& r, size_t offset) {
    return r.block.size() >= offset + 2 ? static_cast<u16>(r.block[offset] | (r.block[offset + 1] << 8)) : 0;
}

// The application's log once it has exited (EndDocPort waits for that), in order,
// with the replies it gave; returns the notification codes.
std::vector<u32> PrintNotifications(const JobRun& run) {
    auto records = run.statmon.waitFor([](const std::vector<StatmonRecord>& r) {
        return std::any_of(r.begin(), r.end(), [](const StatmonRecord& x) { return x.event == "exit"; });
    });
    std::printf("  QXSMON.EXE received:\n");
    std::vector<u32> codes;
    int n = 0;
    for (const auto& r : records) {
        if (r.event == "reply") {
            std::printf("         and replied %u (%s)\n", r.code, ReplyName(r.code));
        } else if (r.event == "notify") {
            codes.push_back(r.code);
            std::printf("    %2d  0x%05x  %s", ++n, r.code, NotifyName(r.code).c_str());
            if (r.code == NotifyProgress && BlockU16(r, 4) == 0) std::printf("  all zeros: resuming");
            else if (r.code == NotifyProgress) std::printf("  page %u, %u%%", BlockU16(r, 4), BlockU16(r, 6));
            std::printf("\n");
        }
    }
    return codes;
}

// Per page, the percentages the application was told, in order.
void PrintProgress(const JobRun& run, int pages) {
    auto records = Notifications(run.statmon.records());
    for (int page = 1; page <= pages; ++page) {
        std::string steps;
        for (const auto& r : records)
            if (r.code == NotifyProgress && BlockU16(r, 4) == page) steps += " " + std::to_string(BlockU16(r, 6));
        std::printf("  progress of page %d:%s\n", page, steps.c_str());
    }
}

bool IsStatusRequest(const std::vector<u8>& d) { return d == std::vector<u8>{0x1B, 0x69, 0x53}; }
bool IsResetZeros(const std::vector<u8>& d) { return d.size() == 48 && std::count(d.begin(), d.end(), 0) == 48; }
bool IsResetInit(const std::vector<u8>& d) { return d == std::vector<u8>{0x1B, 0x40}; }
bool EndsPage(const std::vector<u8>& d) { return !d.empty() && (d.back() == 0x0C || d.back() == 0x1A); }

// The port monitor's WritePort calls, one line each (trace) or summed up per
// page (a page ends with the write whose last byte is FF or SUB).
void PrintPortWrites(JobRun& run, bool trace) {
    auto writes = run.lower.calls(run.name, PortOp::WritePort);
    size_t total = 0, pageBytes = 0, requests = 0;
    int page = 1;
    for (const auto& call : writes) {
        total += call.result;
        if (IsStatusRequest(call.data)) ++requests;
        if (trace) {
            const char* what = IsStatusRequest(call.data) ? "status request ESC i S"
                               : IsResetZeros(call.data)  ? "reset: 48 zero bytes"
                               : IsResetInit(call.data)   ? "reset: ESC @"
                               : EndsPage(call.data)      ? "page data, ends the page"
                                                          : "page data";
            std::printf("    port write %5u bytes  %s\n", call.result, what);
            continue;
        }
        pageBytes += call.result;
        if (EndsPage(call.data)) {
            std::printf("  port bytes of page %d: %zu (its status request included)\n", page++, pageBytes);
            pageBytes = 0;
        }
    }
    if (!trace && pageBytes != 0) std::printf("  port bytes after the last page: %zu\n", pageBytes);
    std::printf("  port bytes in total: %zu (%zu status requests among them)\n", total, requests);
}

void CompareBytes(JobRun& run, const std::vector<u8>& expected, const char* what) {
    bool same = WithoutStatusRequests(run.received()) == expected;
    std::printf("  port bytes equal the expected ones (%s): %s\n", what, same ? "yes" : "NO");
    Check(same, std::string("port bytes differ from the expected ones (") + what + ")");
}

size_t Count(const std::vector<u32>& codes, u32 code) {
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
}

// Writes the stream in chunks, printing each WritePort call.
void WriteJob(MonitorTable* table, Handle port, const std::vector<u8>& stream, u32 chunk) {
    size_t offset = 0;
    for (int calls = 0; offset < stream.size() && calls < 1000; ++calls) {
        std::vector<u8> buffer(stream.begin() + offset,
                               stream.begin() + offset + std::min<size_t>(chunk, stream.size() - offset));
        u32 written = 0;
        BOOL ok = table->WritePort(port, buffer.data(), static_cast<u32>(buffer.size()), &written);
        char text[64];
        std::snprintf(text, sizeof text, "WritePort(%zu bytes): %u taken", buffer.size(), written);
        if (!Call(text, ok) || written == 0) return;
        offset += std::min<size_t>(written, buffer.size());
    }
    Check(offset == stream.size(), "the spooler could not hand over the whole job");
}

void PlainJob(MonitorTable* table) {
    std::printf("\n== A 3-page job on QXUSB001 ==\n");
    BuiltJob job = BuildSimpleJob(3, 200, 40);
    JobRun run(table, "QXUSB001");
    Call("OpenPortEx(\"QXUSB001\", \"Label\")", run.opened);
    if (!run.opened) return;
    Call("StartDocPort(\"Label\", job 7, \"Doc1\")", run.start());
    WriteJob(table, run.spooler.handle, job.stream, 4096);
    Call("EndDocPort", run.end());
    run.opened = false;
    Call("ClosePort", run.spooler.close());

    std::vector<u32> codes = PrintNotifications(run);
    PrintProgress(run, 3);
    PrintPortWrites(run, false);
    CompareBytes(run, job.portBytes, "job information blocks taken out, ESC i c edited");

    Check(!codes.empty() && codes.front() == NotifyConnect, "NotifyConnect did not come first");
    Check(!codes.empty() && codes.back() == NotifyJobEnd, "NotifyJobEnd did not come last");
    Check(Count(codes, NotifyWaiting) == 3, "not one NotifyWaiting per page");
    auto records = Notifications(run.statmon.records());
    for (u16 page = 1; page <= 3; ++page)
        Check(std::any_of(records.begin(), records.end(), [page](const StatmonRecord& r) {
                  return r.code == NotifyProgress && BlockU16(r, 4) == page && BlockU16(r, 6) == 100;
              }),
              "page " + std::to_string(page) + " never reached 100%");
}

void RecoveryJob(MonitorTable* table) {
    std::printf("\n== Cover open on page 2, the user answers continue ==\n");
    BuiltJob job = BuildSimpleJob(3);
    JobRun run(table, "QXUSB001", "normal", "on 0x20005 reply 1");
    Call("OpenPortEx(\"QXUSB001\", \"Label\")", run.opened);
    if (!run.opened) return;
    // The status reply before page 2 carries the cover-open bit, once.
    run.printer().errorPage = 2;
    run.printer().pageErrorInfo1 = 0x02;
    Call("StartDocPort(\"Label\", job 7, \"Doc2\")", run.start("Doc2"));
    WriteJob(table, run.spooler.handle, job.stream, 4096);
    Call("EndDocPort", run.end());
    run.opened = false;
    Call("ClosePort", run.spooler.close());

    std::vector<u32> codes = PrintNotifications(run);
    std::printf("  the port, in order:\n");
    PrintPortWrites(run, true);
    std::vector<u8> expected = Concat({job.pages[0], ResetSequenceBytes(), job.pages[1], job.pages[2]});
    // The error is found at the status check before page 2's first byte, so
    // the whole page goes out once, after the reset, from its stored segments.
    CompareBytes(run, expected, "page 1, the reset, page 2 from its stored segments, page 3");

    Check(Count(codes, 0x20005) == 1, "no single state notification 0x20005");
    Check(Count(codes, NotifyWaiting) == 3, "not one NotifyWaiting per page");
    Check(!codes.empty() && codes.back() == NotifyJobEnd, "NotifyJobEnd did not come last");
    Check(CountOf(run.received(), ResetSequenceBytes()) == 1, "not exactly one reset sequence");
}

constexpr DWORD WATCHDOG_MS = 180000;

// The page handshake has no deadline: a job that stops moving ends the demo
// with a clear failure instead of holding it for ever.
DWORD WINAPI Watchdog(void*) {
    Sleep(WATCHDOG_MS);
    std::printf("demo: FAILED: no end after %lu s\n", WATCHDOG_MS / 1000);
    ExitProcess(1);
}

}  // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (watchdog != nullptr) CloseHandle(watchdog);
    std::printf("qxlmon demo: the spooler stand-in drives the real qxlmon.dll\n");
    LoadedMonitor monitor;
    std::string path = ProgramDirectory() + "qxlmon.dll";
    if (!Call("LoadLibrary + InitializeMonitorEx(qxlmon.dll)", LoadMonitorDll(path.c_str(), monitor))) {
        std::printf("demo: FAILED: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    PlainJob(&monitor.table);
    RecoveryJob(&monitor.table);

    std::printf("\n");
    if (g_failures.empty()) {
        std::printf("demo: OK\n");
        return 0;
    }
    std::printf("demo: FAILED");
    for (const auto& f : g_failures) std::printf("; %s", f.c_str());
    std::printf("\n");
    return 1;
}
