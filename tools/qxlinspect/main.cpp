// qxlinspect: what is in a job file and what the monitor will do with it,
// worked out by the monitor's own core; draws the labels it prints.
#include <cstdio>
#include <string>

#include "common/args.h"
#include "common/file_io.h"
#include "common/page_files.h"
#include "common/render.h"
#include "common/text.h"
#include "qxlinspect/monitor_view.h"
#include "qxlinspect/spool_listing.h"
#include "qxlinspect/stream_listing.h"

namespace {

constexpr char PROGRAM[] = "qxlinspect";
constexpr int EXIT_INPUT = 1;
constexpr int EXIT_USAGE = 2;
constexpr size_t LARGEST_FILE = 1u << 30;

constexpr char USAGE[] =
    "usage: qxlinspect [options] FILE\n"
    "  FILE               a job file: a command stream, or a ':' multi-copy spool file\n"
    "  --port             FILE is what reached a port (qxlprint --port-file): only its labels\n"
    "  --png DIR          draw every label to DIR/page-N.png, one pixel a dot\n"
    "  --pbm DIR          the same as PBM files\n"
    "  --port-bytes OUT   write the bytes the monitor sends (its status requests left out);\n"
    "                     OUT - writes them to standard output instead of the listing\n"
    "  --rebuilt          list a spool file's rebuilt stream command by command too\n";

struct InspectOptions {
    std::string file, pictureDir, portBytes;
    PictureFormat format = PictureFormat::Png;
    bool port = false, rebuilt = false;
};

bool Parse(Args& args, InspectOptions& options) {
    while (!args.done()) {
        const std::string option = args.next();
        if (option == "--png" || option == "--pbm") {
            options.format = option == "--png" ? PictureFormat::Png : PictureFormat::Pbm;
            if (!args.value(option, options.pictureDir)) return false;
            if (!CanWrite(options.format)) {
                args.error =
                    "--png is not in this build (libpng is linked natively only); use --pbm";
                return false;
            }
        } else if (option == "--port-bytes") {
            if (!args.value(option, options.portBytes)) return false;
        } else if (option == "--port") {
            options.port = true;
        } else if (option == "--rebuilt") {
            options.rebuilt = true;
        } else if (option.size() > 1 && option[0] == '-') {
            args.error = "unknown option " + option;
            return false;
        } else if (!options.file.empty()) {
            args.error = "more than one file: " + options.file + " and " + option;
            return false;
        } else {
            options.file = option;
        }
    }
    if (options.file.empty()) args.error = "no file to inspect";
    return args.error.empty();
}

std::string Heading(const InspectOptions& options, const Bytes& job) {
    if (options.port)
        return Format("%s: %zu bytes that reached a port\n\n", options.file.c_str(), job.size());
    if (IsSpoolFile(job))
        return Format("%s: a ':' multi-copy spool file of %zu bytes\n\n", options.file.c_str(),
                      job.size());
    return Format("%s: a command stream of %zu bytes\n\n", options.file.c_str(), job.size());
}

}  // namespace

int main(int argc, char** argv) {
    BinaryStdout();
    if (WantsHelp(argc, argv)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    Args args(argc, argv);
    InspectOptions options;
    if (!Parse(args, options))
        return Fail(PROGRAM, EXIT_USAGE, args.error + " (--help lists the options)");

    Bytes job;
    std::string error;
    if (!ReadWholeFile(options.file, job, error)) return Fail(PROGRAM, EXIT_INPUT, error);
    if (job.size() > LARGEST_FILE)
        return Fail(PROGRAM, EXIT_INPUT, options.file + ": larger than 1 GB");
    // A port capture is judged by what the printer makes of it; a job must be one.
    std::string problem =
        options.port ? (job.empty() ? "the file is empty" : "") : FindProblem(job);
    if (problem == "the file is empty")
        return Fail(PROGRAM, EXIT_INPUT, options.file + ": " + problem);

    std::string out = Heading(options, job);
    Bytes sent = job;
    if (!options.port && IsSpoolFile(job)) {
        out += SpoolListing(job, options.rebuilt);
        sent = PortBytesOf(job, nullptr);
    } else if (!options.port) {
        const MonitorScan scan = ScanAsMonitor(job);
        out += StreamListing(job, scan) + "\n" + StreamSummary(job, scan);
        sent = scan.portBytes;
    }
    // The labels are drawn from what the monitor sends, as the printer gets it.
    const Rendering rendering = RenderStream(sent.data(), sent.size());
    out += "\n" + DescribeRendering(rendering);
    if (options.portBytes != "-") std::fputs(out.c_str(), stdout);

    if (!options.pictureDir.empty()) {
        std::string report;
        bool written = WritePageFiles(options.pictureDir, rendering, options.format, report, error);
        if (options.portBytes != "-") std::fputs(report.c_str(), stdout);
        if (!written) return Fail(PROGRAM, EXIT_INPUT, error);
    }
    if (!options.portBytes.empty() && !WriteWholeFile(options.portBytes, sent, error))
        return Fail(PROGRAM, EXIT_INPUT, error);
    if (!problem.empty()) return Fail(PROGRAM, EXIT_INPUT, options.file + ": " + problem);
    return 0;
}
