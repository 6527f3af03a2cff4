// Text and JSON lines on standard output, each written whole and at once.
#include "qxlprint/transcript.h"

#include <cstdio>

#include "common/text.h"
#include "common/utf8.h"

// UTF-8 passes unescaped: JSON is UTF-8 text.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : AnsiToUtf8(text)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            Appendf(out, "\\u%04x", c);
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

void Transcript::put(const std::string& line) const {
    std::lock_guard guard(lock_);
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

void Transcript::heading(const std::string& title) const {
    if (!json) put("\n" + title + ":\n");
}

void Transcript::item(const std::string& line, const JsonLine& event) const {
    put(json ? event.text + "}\n" : "  " + AnsiToUtf8(line) + "\n");
}

void Transcript::live(unsigned long ms, const char* party, const std::string& line,
                      JsonLine event) const {
    if (json)
        put(event.add("ms", static_cast<long long>(ms)).text + "}\n");
    else
        put(Format("%7.2f  %-12s", ms / 1000.0, party) + AnsiToUtf8(line) + "\n");
}

void Transcript::text(const std::string& line) const {
    if (!json) put(AnsiToUtf8(line) + "\n");
}

void Transcript::event(const JsonLine& json) const {
    if (this->json) put(json.text + "}\n");
}
