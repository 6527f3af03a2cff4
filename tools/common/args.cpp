// Command-line reading over getopt_long.
#include "common/args.h"

#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "common/text.h"
#include "qxl_version.h"

namespace {

constexpr int HELP_ID = -1;
constexpr int VERSION_ID = -2;
constexpr int FIRST_LONG = 256;  // getopt_long's values above any letter

// "--name" as the user wrote it, without "=value".
std::string WrittenName(const char* argument) {
    std::string written = argument;
    return written.substr(0, written.find('='));
}

// "--name" or "-o" for the option getopt_long names in optopt: the value of
// a long option's row, or a letter.
std::string OptionName(int got, const std::vector<OptionRow>& rows) {
    if (got >= FIRST_LONG)
        return std::string("--") + rows[static_cast<size_t>(got - FIRST_LONG)].name;
    return Format("-%c", got);
}

// Why getopt_long refused an argument. A long option it does not know leaves
// optopt 0, so the written name is matched again to say which reason it was.
std::string Refusal(const char* argument, int got, const std::vector<OptionRow>& rows) {
    if (got >= FIRST_LONG) return OptionName(got, rows) + " takes no value";
    if (got != 0) return "unknown option " + OptionName(got, rows);
    const std::string written = WrittenName(argument);
    const std::string name = written.substr(written.rfind('-') == std::string::npos ? 0 : 2);
    std::string matches;
    int count = 0;
    for (const OptionRow& row : rows) {
        const std::string candidate = row.name;
        if (candidate == name && !row.takesValue) return written + " takes no value";
        if (candidate.compare(0, name.size(), name) == 0) {
            matches += (count++ == 0 ? " (--" : ", --") + candidate;
        }
    }
    if (count > 1 && !name.empty()) return "ambiguous option " + written + matches + ")";
    return "unknown option " + written;
}

}  // namespace

namespace {

CommandLine ReadOptions(int argc, char** argv, const ToolInfo& tool,
                        const std::vector<OptionRow>& rows, const TakeOption& take,
                        std::vector<std::string>& operands, std::string& error) {
    std::vector<OptionRow> all = rows;
    all.push_back({"help", 'h', false, HELP_ID});
    all.push_back({"version", 0, false, VERSION_ID});
    std::vector<option> table;
    std::string letters = ":";  // ':' first: a missing value is told apart from an unknown option
    for (size_t i = 0; i < all.size(); ++i) {
        table.push_back({all[i].name, all[i].takesValue ? required_argument : no_argument, nullptr,
                         FIRST_LONG + static_cast<int>(i)});
        if (all[i].letter != 0) {
            letters += all[i].letter;
            if (all[i].takesValue) letters += ':';
        }
    }
    table.push_back({nullptr, 0, nullptr, 0});

    opterr = 0;
    optind = 1;
    for (;;) {
        const int got = getopt_long(argc, argv, letters.c_str(), table.data(), nullptr);
        if (got == -1) break;
        // getopt_long has moved past the option it refuses (argv is permuted so
        // that it stands just before optind).
        const char* argument = argv[optind > 1 && optind <= argc ? optind - 1 : 0];
        // A long option's refusal names its row in optopt; the C libraries differ
        // in which of '?' and ':' a value given to an option without one returns.
        if (got == '?' || got == ':') {
            const bool known = optopt >= FIRST_LONG;
            const bool needsValue =
                known ? all[static_cast<size_t>(optopt - FIRST_LONG)].takesValue : got == ':';
            if (needsValue)
                error = (optopt != 0 ? OptionName(optopt, all) : WrittenName(argument)) +
                        " needs a value";
            else
                error = Refusal(argument, optopt, all);
            return CommandLine::Refused;
        }
        const OptionRow* row =
            got >= FIRST_LONG ? &all[static_cast<size_t>(got - FIRST_LONG)] : nullptr;
        for (const OptionRow& candidate : all)
            if (got < FIRST_LONG && candidate.letter == got) row = &candidate;
        if (row == nullptr) {
            error = Refusal(argument, 0, all);
            return CommandLine::Refused;
        }
        if (row->id == HELP_ID) {
            std::fputs(tool.help, stdout);
            return CommandLine::Answered;
        }
        if (row->id == VERSION_ID) {
            std::printf("%s %s\n", tool.program, QXL_VERSION_TEXT);
            return CommandLine::Answered;
        }
        if (!take(row->id, optarg != nullptr ? optarg : "", error)) return CommandLine::Refused;
    }
    for (int i = optind; i < argc; ++i) operands.emplace_back(argv[i]);
    return CommandLine::Run;
}

}  // namespace

CommandLine ReadCommandLine(int argc, char** argv, const ToolInfo& tool,
                            const std::vector<OptionRow>& rows, const TakeOption& take,
                            const CheckOperands& check, std::string& error) {
    std::vector<std::string> operands;
    CommandLine read = ReadOptions(argc, argv, tool, rows, take, operands, error);
    if (read == CommandLine::Run) {
        error = check(operands);
        if (!error.empty()) read = CommandLine::Refused;
    }
    if (read == CommandLine::Refused) error += " (--help lists the options)";
    return read;
}

bool ParseNumber(const std::string& text, long min, long max, long& out) {
    if (text.empty() || text[0] == ' ') return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || value < min || value > max) return false;
    out = value;
    return true;
}

bool OptionNumber(const std::string& option, const std::string& text, long min, long max, long& out,
                  std::string& error) {
    if (ParseNumber(text, min, max, out)) return true;
    error =
        Format("%s: '%s' is not a number from %ld to %ld", option.c_str(), text.c_str(), min, max);
    return false;
}

bool SamePath(const std::string& a, const std::string& b) {
    if (a == b) return true;
#if defined(_WIN32)
    char fullA[MAX_PATH], fullB[MAX_PATH];
    DWORD lengthA = GetFullPathNameA(a.c_str(), MAX_PATH, fullA, nullptr);
    DWORD lengthB = GetFullPathNameA(b.c_str(), MAX_PATH, fullB, nullptr);
    return lengthA != 0 && lengthA < MAX_PATH && lengthB != 0 && lengthB < MAX_PATH &&
           lstrcmpiA(fullA, fullB) == 0;
#else
    struct stat statA, statB;
    return stat(a.c_str(), &statA) == 0 && stat(b.c_str(), &statB) == 0 &&
           statA.st_dev == statB.st_dev && statA.st_ino == statB.st_ino;
#endif
}

int Fail(const char* program, int status, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return status;
}
