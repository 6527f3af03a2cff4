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

constexpr char HELP[] =
    "qxlinspect: says what is in a job file for the label printers and what the\n"
    "monitor will do with it, worked out by the monitor's own scanner and rebuild,\n"
    "and draws the labels the printer prints.\n"
    "\n"
    "usage: qxlinspect [options] FILE\n"
    "  FILE               a job file: a command stream, or a ':' multi-copy spool file\n"
    "  --port             FILE is what reached a port (qxlprint --port-file): only its labels\n"
    "  --png DIR          draw every label to DIR/page-N.png, one pixel a dot (native build)\n"
    "  --pbm DIR          the same as PBM files; the page files of an earlier run in DIR\n"
    "                     are removed first\n"
    "  --port-bytes OUT   write the bytes the monitor sends (its status requests left out);\n"
    "                     OUT - writes them to standard output instead of the listing\n"
    "  --rebuilt          list a spool file's rebuilt stream command by command too\n"
    "  -h, --help         this help;  --version  the version\n"
    "An option's value comes as --option VALUE or --option=VALUE.\n"
    "\n"
    "examples:\n"
    "  qxlinspect samples/three-pages.job\n"
    "  qxlinspect samples/copies-uncollated.job --png pics\n"
    "  qxlinspect --port --pbm pics port.bin\n"
    "\n"
    "exit status: 0 listed, 1 the file cannot be read or is not a job (or an output\n"
    "file failed), 2 bad options\n";

enum OptionId { OPT_PNG, OPT_PBM, OPT_PORT_BYTES, OPT_PORT, OPT_REBUILT };

const std::vector<OptionRow> OPTIONS = {
    {"png", 0, true, OPT_PNG},
    {"pbm", 0, true, OPT_PBM},
    {"port-bytes", 0, true, OPT_PORT_BYTES},
    {"port", 0, false, OPT_PORT},
    {"rebuilt", 0, false, OPT_REBUILT},
};

struct InspectOptions {
    std::string file, pictureDir, portBytes;
    PictureFormat format = PictureFormat::Png;
    bool port = false, rebuilt = false;
};

bool Take(InspectOptions& options, int id, const std::string& value, std::string& error) {
    switch (id) {
        case OPT_PNG:
        case OPT_PBM: {
            const PictureFormat format = id == OPT_PNG ? PictureFormat::Png : PictureFormat::Pbm;
            if (!options.pictureDir.empty() && options.format != format) {
                error = "--png and --pbm draw the same labels: give one of them";
                return false;
            }
            if (!CanWrite(format)) {
                error = "--png is not in this build (libpng is linked natively only); use --pbm";
                return false;
            }
            options.format = format;
            options.pictureDir = value;
            return true;
        }
        case OPT_PORT_BYTES: options.portBytes = value; return true;
        case OPT_PORT: options.port = true; return true;
        case OPT_REBUILT: options.rebuilt = true; return true;
        default: return false;
    }
}

std::string Conflict(InspectOptions& options, const std::vector<std::string>& operands) {
    if (operands.empty()) return "no file to inspect";
    if (operands.size() > 1) return "unexpected argument " + operands[1];
    options.file = operands.front();
    if (options.rebuilt && options.port)
        return "--rebuilt lists a spool file's rebuild; --port reads what reached a port";
    if (!options.portBytes.empty() && options.portBytes != "-" &&
        SamePath(options.portBytes, options.file))
        return "--port-bytes " + options.portBytes + " is the file to inspect";
    return "";
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
    InspectOptions options;
    int status = 0;
    if (!ReadToolOptions(argc, argv, {PROGRAM, HELP}, OPTIONS, options, Take, Conflict, EXIT_USAGE,
                         status))
        return status;
    std::string error;

    Bytes job;
    if (!ReadWholeFile(options.file, job, error)) return Fail(PROGRAM, EXIT_INPUT, error);
    if (job.size() > LARGEST_FILE)
        return Fail(PROGRAM, EXIT_INPUT, options.file + ": larger than 1 GB");
    // A port capture is judged by what the printer makes of it; a job must be
    // one before anything is listed.
    const std::string problem =
        options.port ? (job.empty() ? "the file is empty" : "") : FindProblem(job);
    if (!problem.empty()) return Fail(PROGRAM, EXIT_INPUT, options.file + ": " + problem);
    if (options.rebuilt && !IsSpoolFile(job))
        return Fail(PROGRAM, EXIT_USAGE,
                    "--rebuilt lists a spool file's rebuild; " + options.file +
                        " is a command stream (--help lists the options)");

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
    // The labels are drawn from what the monitor sends, as the printer gets it,
    // on the medium the job asks for.
    const PageMedia media = options.port ? PageMedia{} : FirstPageMedia(job);
    const Rendering rendering = RenderStream(sent.data(), sent.size(), media.width);
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
    return 0;
}
