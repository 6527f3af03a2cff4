// Command-line arguments of the tools, read one at a time, with one-line reasons.
#pragma once

#include <string>

struct Args {
    Args(int argc, char** argv) : count(argc), values(argv) {}

    int count;
    char** values;
    int at = 1;
    std::string error;

    bool done() const { return at >= count; }
    std::string next() { return values[at++]; }

    // The value that follows option; false when there is none.
    bool value(const std::string& option, std::string& out);
    // The value as a number from min to max (decimal, or hex with 0x).
    bool number(const std::string& option, long min, long max, long& out);
};

// text as a whole number from min to max (decimal, or hex with 0x).
bool ParseNumber(const std::string& text, long min, long max, long& out);

// A lone -h or --help.
bool WantsHelp(int argc, char** argv);

// Prints "program: message" as the one line on standard error; returns status.
int Fail(const char* program, int status, const std::string& message);
