// qxlsetup add|remove|status [NAME]: the command line, and one line of
// outcome on stdout (done, and every status) or stderr (failures).
#include <cstdio>
#include <cstring>
#include <string>

#include "qxl_version.h"
#include "setup/setup.h"
#include "setup/system_facts.h"

namespace {

constexpr char kUsageLine[] = "usage: qxlsetup add|remove|status [NAME]";

void PrintHelp() {
    printf("qxlsetup %s: registers qxlmon.dll with the print spooler\n", QXL_VERSION_TEXT);
    printf("%s\n", kUsageLine);
    printf("  add     registers qxlmon.dll, already copied to %s, as the language monitor NAME\n",
           SystemDirectory().c_str());
    printf("  remove  unregisters the monitor NAME\n");
    printf(
        "  status  tells whether NAME is registered and which qxlmon.dll the spooler would load\n");
    printf("NAME defaults to \"%s\". add and remove need an elevated command prompt.\n",
           kDefaultMonitorName);
    printf(
        "exit codes: 0 done, 1 other failure, 2 usage, 3 not elevated, 4 no usable qxlmon.dll,\n"
        "            5 already installed, 6 in use by a printer driver, 7 not installed\n");
}

Outcome UsageError(const std::string& problem) {
    return {SETUP_USAGE, problem + "\n" + kUsageLine + " (qxlsetup help tells more)"};
}

bool IsHelp(const char* word) {
    return _stricmp(word, "help") == 0 || strcmp(word, "-h") == 0 || strcmp(word, "--help") == 0 ||
           strcmp(word, "/?") == 0;
}

// A name with a backslash would name a registry path, not a monitor key.
Outcome Run(int argc, char** argv) {
    if (argc < 2) return UsageError("no command given");
    const char* command = argv[1];
    if (argc > 3) return UsageError("too many arguments");
    std::string name = argc == 3 ? argv[2] : kDefaultMonitorName;
    if (name.empty() || name.find('\\') != std::string::npos)
        return UsageError("the monitor name must not be empty or hold a backslash");
    if (RunsUnderWow64())
        return {SETUP_USAGE,
                "this is the x86 qxlsetup: on 64-bit Windows run the one in the x64 folder"};
    if (_stricmp(command, "add") == 0) return AddMonitorCommand(name);
    if (_stricmp(command, "remove") == 0) return RemoveMonitorCommand(name);
    if (_stricmp(command, "status") == 0) return MonitorStatusCommand(name);
    return UsageError("unknown command '" + std::string(command) + "'");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && IsHelp(argv[1])) {
        PrintHelp();
        return SETUP_DONE;
    }
    Outcome outcome = Run(argc, argv);
    // A status is a report whatever it finds; only failing to find out is an error.
    bool status = argc >= 2 && _stricmp(argv[1], "status") == 0;
    bool report = outcome.code == SETUP_DONE ||
                  (status && outcome.code != SETUP_USAGE && outcome.code != SETUP_FAILED);
    if (report)
        printf("%s\n", outcome.message.c_str());
    else
        fprintf(stderr, "qxlsetup: %s\n", outcome.message.c_str());
    return outcome.code;
}
