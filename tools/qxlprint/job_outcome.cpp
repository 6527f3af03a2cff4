// A job run and judged.
#include "qxlprint/job_outcome.h"

#include <windows.h>

#include <algorithm>

#include "common/file_io.h"
#include "common/page_files.h"
#include "common/render.h"
#include "common/text.h"
#include "qxlinspect/monitor_view.h"
#include "qxlprint/print_setup.h"
#include "qxlprint/spooler_run.h"
#include "qxlprint/vocabulary.h"
#include "rig/message_box_watcher.h"
#include "rig/statmon_log.h"
#include "core/printer_commands.h"
#include "core/statmon_interface.h"

namespace {

struct Outcome {
    int status;
    const char* word;  // printed, cancelled, stopped, failed
    std::string text;
};

// What reached the port, the status requests (writes of their own) left out.
std::vector<u8> PrintedBytes(const std::vector<PortCall>& calls) {
    const std::vector<u8> request(std::begin(STATUS_REQUEST), std::end(STATUS_REQUEST));
    std::vector<u8> bytes;
    for (const PortCall& call : calls)
        if (call.op == PortOp::WritePort && call.data != request)
            bytes.insert(bytes.end(), call.data.begin(), call.data.end());
    return bytes;
}

Outcome Judge(const SpoolerResult& spooler, const AppHeard& heard,
              const std::vector<std::string>& boxes, bool gone, size_t pagesEnded, size_t pageEnds,
              LiveReport& live) {
    if (!spooler.callsSucceeded)
        return {EXIT_FAILED, "failed", "failed: " + spooler.failedCall + " returned FALSE"};
    if (!boxes.empty())
        return {EXIT_STOPPED, "stopped", "stopped: the monitor showed \"" + boxes.front() + "\""};
    if (gone) return {EXIT_STOPPED, "stopped", "stopped by state (4, 0): printer gone"};
    if (heard.cancelled)
        return {EXIT_CANCELLED, "cancelled", "cancelled: the application answered cancel"};
    if (heard.fatalCode != 0)
        return {EXIT_STOPPED, "stopped", "stopped by " + NotifyText(heard.fatalCode)};
    if (pagesEnded >= pageEnds) return {EXIT_PRINTED, "printed", "printed"};
    StateWords state = DescribeState(3, 0);
    live.lastState(state);
    return {EXIT_STOPPED, "stopped",
            Format("stopped: %zu of the job's %zu page ends reached the printer; last %s",
                   pagesEnded, pageEnds, StateLine(state).c_str())};
}

bool WriteOutputs(const Transcript& out, const PrintOptions& options,
                  const std::vector<u8>& received, const Rendering& labels) {
    std::string error, report;
    if (!options.portFile.empty() && !WriteWholeFile(options.portFile, received, error)) {
        out.item(error, JsonLine("error").add("text", error));
        return false;
    }
    if (!options.pbmDir.empty()) {
        bool written = WritePageFiles(options.pbmDir, labels, PictureFormat::Pbm, report, error);
        if (!report.empty()) out.text(report.substr(0, report.size() - 1));
        if (!written) {
            out.item(error, JsonLine("error").add("text", error));
            return false;
        }
    }
    return true;
}

bool CompareExpected(const Transcript& out, const std::vector<u8>& printed,
                     const std::vector<u8>& expected) {
    auto differ = std::mismatch(printed.begin(), printed.end(), expected.begin(), expected.end());
    const bool same = differ.first == printed.end() && differ.second == expected.end();
    const size_t at = static_cast<size_t>(differ.first - printed.begin());
    out.item(
        same
            ? Format("the port's bytes equal the expected %zu bytes", expected.size())
            : Format("the port's bytes DIFFER from the expected ones: %zu bytes against %zu, first "
                     "difference at offset %zu",
                     printed.size(), expected.size(), at),
        JsonLine("expect")
            .flag("same", same)
            .add("bytes", static_cast<long long>(printed.size()))
            .add("expected", static_cast<long long>(expected.size())));
    return same;
}

}  // namespace

int PrintJob(const Transcript& out, MonitorTable* table, const PrintOptions& options,
             const std::vector<u8>& job, PrinterPort kind, size_t pageEnds,
             const std::vector<u8>& expected, WatchedJob& watched) {
    const std::string lifetime = std::to_string((options.timeoutSeconds + 30) * 1000);
    StatmonEnvironment statmon(options.appMode, AnswerScript(options), lifetime);
    FakePortMonitor lower;
    SetUpPrinter(lower.port(options.port).printer, options, kind);
    MessageBoxWatcher boxes(LAUNCH_FAILURE_CAPTION);

    out.heading("the job, as it happens (seconds, party, event)");
    // The status replies are decoded against what the first page asks: the
    // monitor's own verdict for a job whose pages ask for one medium.
    const PageMedia media = FirstPageMedia(job);
    LiveReport live(out, lower, options.port,
                    options.app == AppChoice::Product ? nullptr : &statmon,
                    {media.width, media.type, media.extra, media.checkFlags});
    {
        std::lock_guard guard(watched.lock);
        watched.live = &live;
    }
    live.start();
    const SpoolerResult spooler = RunSpooler(live, table, lower, options, job);
    out.heading("after the job");
    live.finish();
    {
        std::lock_guard guard(watched.lock);
        watched.live = nullptr;
    }
    const AppHeard heard = live.app.heard;

    const std::vector<PortCall> calls = lower.calls(options.port);
    const std::vector<u8> received = lower.received(options.port);
    bool gone = false;
    size_t pagesEnded = 0;
    lower.withLock([&] {
        gone = lower.port(options.port).printer.gone;
        pagesEnded = lower.port(options.port).printer.pagesEnded;
    });
    const Rendering labels = RenderStream(received.data(), received.size(),
                                          static_cast<std::uint8_t>(options.mediaWidth));
    out.heading("labels");
    std::string drawn = DescribeRendering(labels);
    drawn.pop_back();
    out.text("  " + drawn);
    out.event(JsonLine("labels")
                  .add("labels", static_cast<long long>(labels.pages.size()))
                  .add("resets", labels.resets)
                  .add("statusRequests", labels.statusRequests));

    Outcome outcome = Judge(spooler, heard, boxes.texts(), gone, pagesEnded, pageEnds, live);
    if (!WriteOutputs(out, options, received, labels))
        outcome = {EXIT_FAILED, "failed", "failed: an output file"};
    if (!options.expect.empty() && !CompareExpected(out, PrintedBytes(calls), expected))
        outcome.status = EXIT_DIFFERENT;
    out.heading("outcome");
    out.item(Format("%s (exit %d)", outcome.text.c_str(), outcome.status),
             JsonLine("outcome")
                 .add("outcome", outcome.word)
                 .add("text", outcome.text)
                 .add("exit", outcome.status));
    return outcome.status;
}
