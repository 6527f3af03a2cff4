// Argument reading.
#include "common/args.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/text.h"

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

bool Args::value(const std::string& option, std::string& out) {
    if (done()) {
        error = option + " needs a value";
        return false;
    }
    out = next();
    return true;
}

bool Args::number(const std::string& option, long min, long max, long& out) {
    std::string text;
    if (!value(option, text)) return false;
    if (ParseNumber(text, min, max, out)) return true;
    error =
        Format("%s: '%s' is not a number from %ld to %ld", option.c_str(), text.c_str(), min, max);
    return false;
}

bool WantsHelp(int argc, char** argv) {
    return argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help");
}

int Fail(const char* program, int status, const std::string& message) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    return status;
}
