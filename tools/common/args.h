// Command lines of the tools, read with the C library's getopt_long: long
// options with their value as --opt VALUE or --opt=VALUE, operands anywhere,
// --help and --version on every tool, and one line for every refusal.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct OptionRow {
    const char* name;  // without the dashes: "media-width"
    char letter;       // a one-letter form ('o' for -o), or 0
    bool takesValue;
    int id;  // what the tool's take() receives
};

struct ToolInfo {
    const char* program;
    const char* help;  // the whole --help text: purpose, usage, options, examples, exit status
};

enum class CommandLine { Run, Answered, Refused };

// Each option in the order given; false refuses it with a one-line reason.
using TakeOption = std::function<bool(int id, const std::string& value, std::string& error)>;
// After the options: the operands (the arguments that are not options) in
// order; the reason to refuse the whole, or "".
using CheckOperands = std::function<std::string(const std::vector<std::string>& operands)>;

// Reads the command line. -h/--help and --version print their answer
// (Answered); an unknown, ambiguous or incomplete option, a value given to an
// option that takes none, take() refusing or check() finding a conflict gives
// Refused with the reason in error, "(--help lists the options)" added.
CommandLine ReadCommandLine(int argc, char** argv, const ToolInfo& tool,
                            const std::vector<OptionRow>& rows, const TakeOption& take,
                            const CheckOperands& check, std::string& error);

// Prints "program: message" as the one line on standard error; returns status.
int Fail(const char* program, int status, const std::string& message);

// A tool's command line read into its options through the tool's own Take
// (one option) and Conflict (the operands, and options that do not go
// together); false with the status to end with: 0 after --help or --version,
// usageStatus after a refusal, which is told on standard error.
template <typename Options>
bool ReadToolOptions(int argc, char** argv, const ToolInfo& tool,
                     const std::vector<OptionRow>& rows, Options& options,
                     bool (*take)(Options&, int, const std::string&, std::string&),
                     std::string (*conflict)(Options&, const std::vector<std::string>&),
                     int usageStatus, int& status) {
    std::string error;
    const CommandLine read = ReadCommandLine(
        argc, argv, tool, rows,
        [&](int id, const std::string& value, std::string& why) {
            return take(options, id, value, why);
        },
        [&](const std::vector<std::string>& operands) { return conflict(options, operands); },
        error);
    status = read == CommandLine::Refused ? Fail(tool.program, usageStatus, error) : 0;
    return read == CommandLine::Run;
}

// text as a whole number from min to max (decimal, or hex with 0x).
bool ParseNumber(const std::string& text, long min, long max, long& out);

// The same for an option's value, with "--option: 'text' is not a number from
// min to max" as the reason.
bool OptionNumber(const std::string& option, const std::string& text, long min, long max, long& out,
                  std::string& error);

// Whether two paths name the same file (after the file system's own
// resolution where the file exists; an output path that is the input would
// destroy the input).
bool SamePath(const std::string& a, const std::string& b);
