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
    int id;            // what the tool's take() receives
};

struct ToolInfo {
    const char* program;
    const char* help;  // the whole --help text: purpose, usage, options, examples, exit status
};

enum class CommandLine { Run, Answered, Refused };

// Each option in the order given; false refuses it with a one-line reason.
using TakeOption = std::function<bool(int id, const std::string& value, std::string& error)>;

// Reads the command line. -h/--help and --version print their answer
// (Answered); an unknown, ambiguous or incomplete option, a value given to an
// option that takes none, or take() refusing gives Refused with the reason in
// error. Operands (the arguments that are not options) come back in order.
CommandLine ReadCommandLine(int argc, char** argv, const ToolInfo& tool,
                            const std::vector<OptionRow>& rows, const TakeOption& take,
                            std::vector<std::string>& operands, std::string& error);

// text as a whole number from min to max (decimal, or hex with 0x).
bool ParseNumber(const std::string& text, long min, long max, long& out);

// The same for an option's value, with "--option: 'text' is not a number from
// min to max" as the reason.
bool OptionNumber(const std::string& option, const std::string& text, long min, long max,
                  long& out, std::string& error);

// Whether two paths name the same file (after the file system's own
// resolution where the file exists; an output path that is the input would
// destroy the input).
bool SamePath(const std::string& a, const std::string& b);

// Prints "program: message" as the one line on standard error; returns status.
int Fail(const char* program, int status, const std::string& message);
