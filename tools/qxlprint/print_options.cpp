// Option parsing for qxlprint.
#include "qxlprint/print_options.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "common/args.h"
#include "common/text.h"
#include "core/printer_states.h"

const char PRINT_HELP[] =
    "qxlprint: the spooler as a command. Loads the real qxlmon.dll and prints a job\n"
    "file through it over a port monitor stand-in and its emulated printer, with\n"
    "QXSMON.EXE answering, and shows what every party saw as it happens.\n"
    "\n"
    "usage: qxlprint JOB [options]\n"
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
    "  --fault LIST            comma-separated: cover-open@N, media-out@N, no-media@N\n"
    "                          (before page N, once),\n"
    "                          error@N[:BITS] (while page N prints), gone@N (from page N on),\n"
    "                          slow:MS (each page takes MS to print)\n"
    "the spooler and the application:\n"
    "  --chunk N               WritePort size (default 4096)\n"
    "  --doc NAME              document name (default: the job file's name)\n"
    "  --answer A              the stand-in's answer to an error: continue, cancel or\n"
    "                          pause:MS (pause, then continue after MS); default continue\n"
    "  --app standin|product   QXSMON.EXE from bin/ (the stand-in, default) or app/ (the\n"
    "                          product, which answers by its own headless policy)\n"
    "  --app-mode MODE         the stand-in's QXSMON_MODE (default normal)\n"
    "  --dll PATH              the monitor (default ..\\bin\\qxlmon.dll beside qxlprint.exe)\n"
    "  --nxportmon PATH        the network port monitor stand-in (default ..\\bin\\nxportmon.dll)\n"
    "  --raw                   print JOB even when it is not a valid job\n"
    "  --timeout S             give up after S seconds, saying the last state (default 120)\n"
    "output (UTF-8; names are taken from the ANSI code page):\n"
    "  --json                  the transcript as JSON lines, one object a line\n"
    "  --port-file FILE        write every byte that reached the port\n"
    "  --pbm DIR               draw the labels that reached the port to DIR/page-N.pbm\n"
    "                          (tools/qxlprint.sh: --png DIR, with the native qxlinspect)\n"
    "  --expect FILE           compare the port's bytes (status requests left out) with FILE\n"
    "  -h, --help              this help;  --version  the version\n"
    "An option's value comes as --option VALUE or --option=VALUE.\n"
    "\n"
    "examples:\n"
    "  qxlprint samples/three-pages.job --fault cover-open@2\n"
    "  qxlprint samples/address.job --port NX1 --json\n"
    "  qxlprint job.job --media 36 --timeout 30 --port-file port.bin\n"
    "\n"
    "exit status: 0 printed, 1 failed (a call failed, or no end within --timeout),\n"
    "2 usage or input error, 3 crashed, 4 cancelled, 5 stopped by a state,\n"
    "6 the port's bytes differ from --expect\n";

namespace {

// What a person finds at the printer before a page: the status bits it sets,
// and the state they decode to.
struct StopFault {
    const char* name;
    std::uint8_t info1, info2;
    i16 code;
};
constexpr StopFault STOP_FAULTS[] = {
    {"cover-open", 0, ERROR2_COVER_OPEN, CODE_COVER_OPEN},
    {"media-out", ERROR1_END_OF_MEDIA, 0, CODE_MEDIA_ENDED},  // the roll or the labels ran out
    {"no-media", ERROR1_NO_MEDIA, 0, CODE_NO_MEDIA},
};

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
    for (const StopFault& stop : STOP_FAULTS) {
        if (name != stop.name || !hasPage || hasValue) continue;
        if (faults.stopBeforePage != 0 && faults.stopBeforePage != pageNumber) {
            error = "--fault: cover-open, media-out and no-media must be on the same page";
            return false;
        }
        faults.stopBeforePage = pageNumber;
        faults.stopInfo1 |= stop.info1;
        faults.stopInfo2 |= stop.info2;
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
            "' (cover-open@N, media-out@N, no-media@N, error@N[:BITS], gone@N, slow:MS)";
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
    if (n == 0) error = "--media: '' is not W[,TYPE[,EXTRA]]";
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

namespace {

enum OptionId {
    OPT_PORT,
    OPT_NETWORK,
    OPT_PRINTER,
    OPT_DRIVER,
    OPT_STATUS_TIMEOUT,
    OPT_PRINT_TIMEOUT,
    OPT_LAN_SLEEP,
    OPT_MEDIA,
    OPT_FAULT,
    OPT_CHUNK,
    OPT_DOC,
    OPT_ANSWER,
    OPT_APP,
    OPT_APP_MODE,
    OPT_DLL,
    OPT_NXPORTMON,
    OPT_RAW,
    OPT_TIMEOUT,
    OPT_JSON,
    OPT_PORT_FILE,
    OPT_PBM,
    OPT_EXPECT,
    OPT_PNG,
};

const std::vector<OptionRow> OPTIONS = {
    {"port", 0, true, OPT_PORT},
    {"network", 0, false, OPT_NETWORK},
    {"printer", 0, true, OPT_PRINTER},
    {"driver", 0, true, OPT_DRIVER},
    {"status-timeout", 0, true, OPT_STATUS_TIMEOUT},
    {"print-timeout", 0, true, OPT_PRINT_TIMEOUT},
    {"lan-sleep", 0, true, OPT_LAN_SLEEP},
    {"media", 0, true, OPT_MEDIA},
    {"fault", 0, true, OPT_FAULT},
    {"chunk", 0, true, OPT_CHUNK},
    {"doc", 0, true, OPT_DOC},
    {"answer", 0, true, OPT_ANSWER},
    {"app", 0, true, OPT_APP},
    {"app-mode", 0, true, OPT_APP_MODE},
    {"dll", 0, true, OPT_DLL},
    {"nxportmon", 0, true, OPT_NXPORTMON},
    {"raw", 0, false, OPT_RAW},
    {"timeout", 0, true, OPT_TIMEOUT},
    {"json", 0, false, OPT_JSON},
    {"port-file", 0, true, OPT_PORT_FILE},
    {"pbm", 0, true, OPT_PBM},
    {"expect", 0, true, OPT_EXPECT},
    {"png", 0, true, OPT_PNG},
};

bool Take(PrintOptions& options, int id, const std::string& value, std::string& error) {
    switch (id) {
        case OPT_PORT: options.port = value; return true;
        case OPT_NETWORK: options.network = true; return true;
        case OPT_PRINTER: options.printer = value; return true;
        case OPT_DRIVER: options.driver = value; return true;
        case OPT_STATUS_TIMEOUT:
            return OptionNumber("--status-timeout", value, 0, 3600, options.statusTimeout, error);
        case OPT_PRINT_TIMEOUT:
            return OptionNumber("--print-timeout", value, 0, 3600, options.printTimeout, error);
        case OPT_LAN_SLEEP:
            return OptionNumber("--lan-sleep", value, 0, 10000, options.lanSleep, error);
        case OPT_MEDIA: return ParseMedia(value, options, error);
        case OPT_FAULT: {
            std::istringstream items(value);
            std::string item;
            while (std::getline(items, item, ','))
                if (!ParseFault(item, options.faults, error)) return false;
            return true;
        }
        case OPT_CHUNK: return OptionNumber("--chunk", value, 1, 1 << 20, options.chunk, error);
        case OPT_DOC: options.document = value; return true;
        case OPT_ANSWER: options.answerGiven = true; return ParseAnswer(value, options, error);
        case OPT_APP:
            if (value == "standin" || value == "product") {
                options.app = value == "product" ? AppChoice::Product : AppChoice::StandIn;
                return true;
            }
            error = "--app: '" + value + "' is not standin or product";
            return false;
        case OPT_APP_MODE: options.appMode = value; return true;
        case OPT_DLL: options.dll = value; return true;
        case OPT_NXPORTMON: options.nxportmon = value; return true;
        case OPT_RAW: options.raw = true; return true;
        case OPT_TIMEOUT:
            return OptionNumber("--timeout", value, 1, 86400, options.timeoutSeconds, error);
        case OPT_JSON: options.json = true; return true;
        case OPT_PORT_FILE: options.portFile = value; return true;
        case OPT_PBM: options.pbmDir = value; return true;
        case OPT_EXPECT: options.expect = value; return true;
        case OPT_PNG:
            error =
                "--png is done by the tools/qxlprint.sh wrapper (native qxlinspect); use --pbm "
                "here";
            return false;
        default: return false;
    }
}

// Options that would be ignored, or an output that would overwrite an input.
std::string Conflict(PrintOptions& options, const std::vector<std::string>& operands) {
    if (operands.empty()) return "no job file to print";
    if (operands.size() > 1) return "unexpected argument " + operands[1];
    options.job = operands.front();
    if (options.port.empty()) return "--port: the name is empty";
    if (options.app == AppChoice::Product && options.answerGiven)
        return "--answer is the stand-in's; --app product answers by its own policy";
    if (options.app == AppChoice::Product && options.appMode != "normal")
        return "--app-mode is the stand-in's; --app product ignores it";
    if (!options.portFile.empty() && SamePath(options.portFile, options.job))
        return "--port-file " + options.portFile + " is the job file";
    if (!options.portFile.empty() && !options.expect.empty() &&
        SamePath(options.portFile, options.expect))
        return "--port-file " + options.portFile + " is the --expect file";
    return "";
}

}  // namespace

bool ReadPrintOptions(int argc, char** argv, PrintOptions& options, int usageStatus, int& status) {
    return ReadToolOptions(argc, argv, {"qxlprint", PRINT_HELP}, OPTIONS, options, Take, Conflict,
                           usageStatus, status);
}

std::string DescribeFaults(const FaultScript& faults) {
    std::string text;
    auto add = [&](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
    for (const StopFault& stop : STOP_FAULTS) {
        if ((faults.stopInfo1 & stop.info1) == 0 && (faults.stopInfo2 & stop.info2) == 0) continue;
        add(Format("%s before page %u", FindPrinterState(STATE_ERROR, stop.code)->name,
                   faults.stopBeforePage));
    }
    if (faults.errorWhilePage != 0)
        add(Format("an error status (errorInfo1 0x%02x) while page %u prints", faults.errorBits,
                   faults.errorWhilePage));
    if (faults.gonePage != 0) add(Format("gone from page %u on", faults.gonePage));
    if (faults.slowMs != 0) add(Format("%u ms to print a page", faults.slowMs));
    return text.empty() ? "none" : text;
}
