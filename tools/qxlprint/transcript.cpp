// Text and JSON lines on standard output.
#include "qxlprint/transcript.h"

#include <cstdio>

#include "common/text.h"

std::string JsonString(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            Appendf(out, "\\u%04x", c);  // bytes above ASCII read as Latin-1
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

JsonLine::JsonLine(const char* event) : text("{\"event\":" + JsonString(event)) {}

JsonLine& JsonLine::add(const char* key, const std::string& value) {
    return raw(key, JsonString(value));
}

JsonLine& JsonLine::add(const char* key, long long value) {
    return raw(key, Format("%lld", value));
}

JsonLine& JsonLine::flag(const char* key, bool value) { return raw(key, value ? "true" : "false"); }

JsonLine& JsonLine::raw(const char* key, const std::string& json) {
    text += "," + JsonString(key) + ":" + json;
    return *this;
}

void Transcript::heading(const std::string& title) const {
    if (!json) std::printf("\n%s:\n", title.c_str());
}

void Transcript::item(const std::string& line, const JsonLine& event) const {
    if (json)
        std::printf("%s}\n", event.text.c_str());
    else
        std::printf("  %s\n", line.c_str());
    std::fflush(stdout);
}

void Transcript::text(const std::string& line) const {
    if (!json) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Transcript::event(const JsonLine& json) const {
    if (this->json) std::printf("%s}\n", json.text.c_str());
    std::fflush(stdout);
}
