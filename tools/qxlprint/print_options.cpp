// Option parsing for qxlprint.
#include "qxlprint/print_options.h"

#include <algorithm>
#include <sstream>

#include "common/args.h"
#include "common/text.h"

const char PRINT_USAGE[] =
    "usage: qxlprint JOB [options]   (prints JOB through the real qxlmon.dll)\n"
    "the port and the printer:\n"
    "  --port NAME             QXUSB..., QXCOMn, LPTn, NX... (network) or another name\n"
    "                          (default QXUSB001)\n"
    "  --network               report the port as a network print server port\n"
    "  --printer NAME          printer name (default Label)\n"
    "  --driver NAME           driver name (default \"Label Driver\"); its registry settings:\n"
    "  --status-timeout S      (default 5)\n"
    "  --print-timeout S       (default 60)\n"
    "  --lan-sleep MS          (default 0)\n"
    "  --media W[,TYPE[,EXTRA]] the loaded media (default: what the job's first page asks for)\n"
    "  --fault LIST            comma-separated: cover-open@N, media-out@N (before page N, once),\n"
    "                          error@N[:BITS] (while page N prints), gone@N (from page N on),\n"
    "                          slow:MS (each page takes MS to print)\n"
    "the spooler and the application:\n"
    "  --chunk N               WritePort size (default 4096)\n"
    "  --doc NAME              document name (default: the job file's name)\n"
    "  --answer A              the answer to an error: continue, cancel or pause:MS\n"
    "                          (pause, then continue after MS); default continue\n"
    "  --app standin|product   QXSMON.EXE from bin/ (the stand-in, default) or app/\n"
    "  --app-mode MODE         the stand-in's QXSMON_MODE (default normal)\n"
    "  --dll PATH              the monitor (default ..\\bin\\qxlmon.dll beside qxlprint.exe)\n"
    "  --nxportmon PATH        the network port monitor stand-in (default ..\\bin\\nxportmon.dll)\n"
    "  --raw                   print JOB even when it is not a valid job\n"
    "  --timeout S             give up after S seconds (default 120)\n"
    "output:\n"
    "  --json                  the transcript as JSON lines\n"
    "  --port-file FILE        write every byte that reached the port\n"
    "  --pbm DIR               draw the labels that reached the port to DIR/page-N.pbm\n"
    "  --expect FILE           compare the port's bytes (status requests left out) with FILE\n"
    "exit status: 0 printed, 1 failed, 2 usage or input error, 3 crashed, 4 cancelled,\n"
    "5 stopped by a state, 6 the port's bytes differ from --expect\n";

namespace {

// "NAME@PAGE", "error@PAGE:BITS" or "slow:MS".
bool ParseFault(const std::string& item, FaultScript& faults, std::string& error) {
    const size_t at = item.find('@');
    const size_t colon = item.find(':', at == std::string::npos ? 0 : at);
    const std::string name = item.substr(0, std::min(at, colon));
    const std::string pageText = at == std::string::npos ? "" : item.substr(at + 1, colon - at - 1);
    const bool hasValue = colon != std::string::npos;
    const std::string valueText = hasValue ? item.substr(colon + 1) : "";
    long page = 0, value = 0;
    const bool hasPage = ParseNumber(pageText, 1, 65535, page);
    const std::uint32_t pageNumber = static_cast<std::uint32_t>(page);
    if ((name == "cover-open" || name == "media-out") && hasPage && !hasValue) {
        if (faults.stopBeforePage != 0 && faults.stopBeforePage != pageNumber) {
            error = "--fault: cover-open and media-out must be on the same page";
            return false;
        }
        faults.stopBeforePage = pageNumber;
        faults.stopBits |= name == "cover-open" ? 0x02 : 0x01;
        return true;
    }
    if (name == "error" && hasPage && (!hasValue || ParseNumber(valueText, 1, 255, value))) {
        faults.errorWhilePage = pageNumber;
        if (hasValue) faults.errorBits = static_cast<std::uint8_t>(value);
        return true;
    }
    if (name == "gone" && hasPage && !hasValue) {
        faults.gonePage = pageNumber;
        return true;
    }
    if (name == "slow" && at == std::string::npos && ParseNumber(valueText, 1, 600000, value)) {
        faults.slowMs = static_cast<std::uint32_t>(value);
        return true;
    }
    error = "--fault: cannot read '" + item +
            "' (cover-open@N, media-out@N, error@N[:BITS], gone@N, slow:MS)";
    return false;
}

bool ParseMedia(const std::string& text, PrintOptions& options, std::string& error) {
    std::istringstream parts(text);
    std::string part;
    long* fields[3] = {&options.mediaWidth, &options.mediaType, &options.mediaExtra};
    int n = 0;
    while (std::getline(parts, part, ',')) {
        if (n == 3 || !ParseNumber(part, 0, 255, *fields[n])) {
            error = "--media: '" + text + "' is not W[,TYPE[,EXTRA]] of numbers from 0 to 255";
            return false;
        }
        ++n;
    }
    options.mediaGiven = n != 0;
    if (n == 0) error = "--media needs a value";
    return n != 0;
}

bool ParseAnswer(const std::string& text, PrintOptions& options, std::string& error) {
    if (text == "continue")
        options.answer = Answer::Continue;
    else if (text == "cancel")
        options.answer = Answer::Cancel;
    else if (text.rfind("pause:", 0) == 0 &&
             ParseNumber(text.substr(6), 1, 600000, options.pauseMs))
        options.answer = Answer::Pause;
    else {
        error = "--answer: '" + text + "' is not continue, cancel or pause:MS";
        return false;
    }
    return true;
}

}  // namespace

bool ParsePrintOptions(int argc, char** argv, PrintOptions& options, std::string& error) {
    Args args(argc, argv);
    std::string text;
    auto value = [&](const std::string& option, std::string& out) {
        return args.value(option, out);
    };
    while (!args.done() && args.error.empty()) {
        const std::string option = args.next();
        if (option == "--port")
            value(option, options.port);
        else if (option == "--network")
            options.network = true;
        else if (option == "--printer")
            value(option, options.printer);
        else if (option == "--driver")
            value(option, options.driver);
        else if (option == "--status-timeout")
            args.number(option, 0, 3600, options.statusTimeout);
        else if (option == "--print-timeout")
            args.number(option, 0, 3600, options.printTimeout);
        else if (option == "--lan-sleep")
            args.number(option, 0, 10000, options.lanSleep);
        else if (option == "--media") {
            if (value(option, text)) ParseMedia(text, options, args.error);
        } else if (option == "--fault") {
            if (!value(option, text)) break;
            std::istringstream items(text);
            std::string item;
            while (std::getline(items, item, ',') && ParseFault(item, options.faults, args.error)) {
            }
        } else if (option == "--chunk")
            args.number(option, 1, 1 << 20, options.chunk);
        else if (option == "--doc")
            value(option, options.document);
        else if (option == "--answer") {
            if (value(option, text)) ParseAnswer(text, options, args.error);
        } else if (option == "--app") {
            if (!value(option, text)) break;
            if (text == "standin")
                options.app = AppChoice::StandIn;
            else if (text == "product")
                options.app = AppChoice::Product;
            else
                args.error = "--app: '" + text + "' is not standin or product";
        } else if (option == "--app-mode")
            value(option, options.appMode);
        else if (option == "--dll")
            value(option, options.dll);
        else if (option == "--nxportmon")
            value(option, options.nxportmon);
        else if (option == "--raw")
            options.raw = true;
        else if (option == "--timeout")
            args.number(option, 1, 86400, options.timeoutSeconds);
        else if (option == "--json")
            options.json = true;
        else if (option == "--port-file")
            value(option, options.portFile);
        else if (option == "--pbm")
            value(option, options.pbmDir);
        else if (option == "--expect")
            value(option, options.expect);
        else if (option == "--png")
            args.error =
                "--png is done by the tools/qxlprint.sh wrapper (native qxlinspect); use --pbm "
                "here";
        else if (option.size() > 1 && option[0] == '-')
            args.error = "unknown option " + option;
        else if (!options.job.empty())
            args.error = "more than one job: " + options.job + " and " + option;
        else
            options.job = option;
    }
    if (args.error.empty() && options.job.empty()) args.error = "no job file to print";
    if (args.error.empty() && options.port.empty()) args.error = "--port: the name is empty";
    error = args.error;
    return error.empty();
}

std::string DescribeFaults(const FaultScript& faults) {
    std::string text;
    auto add = [&](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
    if (faults.stopBits & 0x02) add(Format("cover open before page %u", faults.stopBeforePage));
    if (faults.stopBits & 0x01) add(Format("no media before page %u", faults.stopBeforePage));
    if (faults.errorWhilePage != 0)
        add(Format("an error status (errorInfo1 0x%02x) while page %u prints", faults.errorBits,
                   faults.errorWhilePage));
    if (faults.gonePage != 0) add(Format("gone from page %u on", faults.gonePage));
    if (faults.slowMs != 0) add(Format("%u ms to print a page", faults.slowMs));
    return text.empty() ? "none" : text;
}
