// qxlprint: the spooler as a command. Loads the real qxlmon.dll and prints a
// job file through it over the port monitor stand-in and its emulated
// printer, with QXSMON.EXE answering; shows what every party saw.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/args.h"
#include "common/file_io.h"
#include "common/text.h"
#include "monitor/port_name.h"
#include "qxlinspect/monitor_view.h"
#include "qxlprint/job_outcome.h"
#include "qxlprint/print_setup.h"
#include "qxlprint/vocabulary.h"
#include "rig/network_monitor.h"
#include "rig/port_status_hook.h"
#include "rig/spooler.h"

namespace {

constexpr char PROGRAM[] = "qxlprint";

struct Watchdog {
    DWORD timeoutMs = 0;
    const Transcript* out = nullptr;
    WatchedJob job;
};
Watchdog g_watchdog;

// The page handshake waits on the printer without a deadline: a job that
// stops moving ends qxlprint with a clear failure, what happened so far and
// the last state it was in, instead of holding it.
DWORD WINAPI EndWithoutEnd(void*) {
    Sleep(g_watchdog.timeoutMs);
    std::lock_guard guard(g_watchdog.job.lock);  // held to the end: the job stays alive
    const Transcript& out = *g_watchdog.out;
    std::string text = Format("failed: no end after %lu s", g_watchdog.timeoutMs / 1000);
    StateWords state{};
    LiveReport* live = g_watchdog.job.live;
    if (live != nullptr) live->drain();  // what happened so far comes first
    const bool known = live != nullptr && live->lastState(state);
    if (known) text += "; last " + StateLine(state);
    JsonLine event("outcome");
    event.add("outcome", "failed").add("text", text).add("exit", EXIT_FAILED);
    if (known) event.raw("state", StateJson(state));
    out.heading("outcome");
    out.item(Format("%s (exit %d)", text.c_str(), EXIT_FAILED), event);
    ExitProcess(EXIT_FAILED);
}

const char* PortKindName(i16 portType) {
    switch (portType) {
        case PORTTYPE_USB: return "USB";
        case PORTTYPE_SERIAL: return "serial";
        case PORTTYPE_PARALLEL: return "parallel";
        case PORTTYPE_NETWORK: return "network print server";
        default: return "other";
    }
}

PrinterPort EmulatedKind(i16 portType) {
    switch (portType) {
        case PORTTYPE_USB: return PrinterPort::Usb;
        case PORTTYPE_SERIAL: return PrinterPort::Serial;
        case PORTTYPE_PARALLEL: return PrinterPort::Parallel;
        case PORTTYPE_NETWORK: return PrinterPort::Network;
        default: return PrinterPort::Other;
    }
}

// Paths are made absolute before the current directory moves to the application's.
void ResolvePaths(PrintOptions& options) {
    if (options.document.empty())
        options.document = options.job.substr(options.job.find_last_of("\\/") + 1);
    for (std::string* path : {&options.job, &options.portFile, &options.expect, &options.pbmDir,
                              &options.dll, &options.nxportmon})
        *path = FullPath(*path);
    if (options.dll.empty()) options.dll = FullPath(ProgramDirectory() + "..\\bin\\qxlmon.dll");
    if (options.nxportmon.empty())
        options.nxportmon = FullPath(ProgramDirectory() + "..\\bin\\nxportmon.dll");
}

void Header(const Transcript& out, const PrintOptions& options, const Bytes& job, i16 portType,
            const std::string& appDir) {
    const char* kind = IsSpoolFile(job) ? "a ':' multi-copy spool file" : "a command stream";
    const char* answers[] = {"continue", "pause, then continue", "cancel"};
    out.text(Format("qxlprint: %s: %s of %zu bytes", options.job.c_str(), kind, job.size()));
    out.event(JsonLine("start")
                  .add("job", options.job)
                  .add("bytes", static_cast<long long>(job.size()))
                  .flag("spool", IsSpoolFile(job)));
    out.text(Format(
        "port %s (%s), printer \"%s\", driver \"%s\": status timeout %ld s, print timeout %ld s, "
        "LanSleep %ld ms",
        options.port.c_str(), PortKindName(portType), options.printer.c_str(),
        options.driver.c_str(), options.statusTimeout, options.printTimeout, options.lanSleep));
    out.event(JsonLine("port")
                  .add("port", options.port)
                  .add("kind", PortKindName(portType))
                  .add("printer", options.printer)
                  .add("driver", options.driver));
    out.text(Format("printer: media %ld mm type 0x%02lx extra 0x%02lx; faults: %s",
                    options.mediaWidth, options.mediaType, options.mediaExtra,
                    DescribeFaults(options.faults).c_str()));
    out.event(JsonLine("printer")
                  .add("mediaWidth", options.mediaWidth)
                  .add("mediaType", options.mediaType)
                  .add("mediaExtra", options.mediaExtra)
                  .add("faults", DescribeFaults(options.faults)));
    out.text(Format("application: QXSMON.EXE from %s (%s), answers %s", appDir.c_str(),
                    options.app == AppChoice::Product ? "the product" : "the stand-in",
                    answers[static_cast<int>(options.answer)]));
    out.event(JsonLine("application")
                  .add("dir", appDir)
                  .add("answer", answers[static_cast<int>(options.answer)]));
}

}  // namespace

int main(int argc, char** argv) {
    BinaryStdout();
    PrintOptions options;
    int status = EXIT_PRINTED;
    if (!ReadPrintOptions(argc, argv, options, EXIT_USAGE, status)) return status;
    std::string error;
    ResolvePaths(options);

    Bytes job, expected;
    if (!ReadWholeFile(options.job, job, error)) return Fail(PROGRAM, EXIT_USAGE, error);
    const std::string problem = FindProblem(job);
    if (job.empty() || (!problem.empty() && !options.raw))
        return Fail(
            PROGRAM, EXIT_USAGE,
            options.job + ": " + problem + (job.empty() ? "" : " (--raw prints it anyway)"));
    if (!options.expect.empty() && !ReadWholeFile(options.expect, expected, error))
        return Fail(PROGRAM, EXIT_USAGE, error);
    const PageMedia media = FirstPageMedia(job);
    if (!options.mediaGiven && media.width != 0) {
        options.mediaWidth = media.width;
        options.mediaType = media.type;
        options.mediaExtra = media.extra;
    }

    std::string appDir;
    if (!ApplicationDirectory(options, appDir, error)) return Fail(PROGRAM, EXIT_USAGE, error);
    if (!WriteDriverSettings(options, error)) return Fail(PROGRAM, EXIT_FAILED, error);
    const bool network = options.network || options.port.rfind("NX", 0) == 0;
    if (!RegisterNetworkPortMonitor(options.nxportmon))
        return Fail(PROGRAM, EXIT_FAILED,
                    "cannot register the network port monitor stand-in " + options.nxportmon);
    if (network) SetNetworkPorts(options.port);
    const i16 portType = ClassifyPortName(options.port.c_str(), network).portType;
    if (!SetCurrentDirectoryA(appDir.c_str()))
        return Fail(PROGRAM, EXIT_FAILED, "cannot change to " + appDir);

    Transcript out(options.json);
    g_watchdog.timeoutMs = static_cast<DWORD>(options.timeoutSeconds) * 1000;
    g_watchdog.out = &out;
    if (HANDLE watchdog = CreateThread(nullptr, 0, EndWithoutEnd, nullptr, 0, nullptr))
        CloseHandle(watchdog);

    Header(out, options, job, portType, appDir);
    LoadedMonitor monitor;
    // Its SetPort calls are caught and reported (Wine's own would end the process).
    if (!LoadMonitorDll(options.dll.c_str(), monitor) || !CatchSetPort(monitor.module))
        return Fail(PROGRAM, EXIT_FAILED,
                    Format("cannot load %s and call InitializeMonitorEx (error %lu)",
                           options.dll.c_str(), GetLastError()));
    size_t pageEnds = 0;
    PortBytesOf(job, &pageEnds);
    return PrintJob(out, &monitor.table, options, job, EmulatedKind(portType), pageEnds, expected,
                    g_watchdog.job);
}
