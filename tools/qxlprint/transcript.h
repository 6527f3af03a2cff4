// qxlprint's output: readable lines under headings, or one JSON object a line
// for tools, written as the job goes on. Every item is given in both forms;
// the mode picks one. Output is UTF-8: names (paths, printer, document,
// caption) arrive in the ANSI code page and are converted where they are put in.
#pragma once

#include <mutex>
#include <string>

// One JSON object, built field by field: {"event":"call","name":"OpenPortEx",...}.
struct JsonLine {
    explicit JsonLine(const char* event);
    // value in the ANSI code page.
    JsonLine& add(const char* key, const std::string& value);
    JsonLine& add(const char* key, const char* value) { return add(key, std::string(value)); }
    JsonLine& add(const char* key, long long value);
    JsonLine& flag(const char* key, bool value);
    // A value already in JSON form (an array, an object).
    JsonLine& raw(const char* key, const std::string& json);
    std::string text;
};

// text (ANSI code page) as a JSON string in UTF-8.
std::string JsonString(const std::string& text);

struct Transcript {
    explicit Transcript(bool asJson) : json(asJson) {}
    const bool json;

    // Text mode only: a blank line and "title:".
    void heading(const std::string& title) const;
    // The item as an indented text line, or as its JSON object.
    void item(const std::string& text, const JsonLine& event) const;
    // What a party did, ms after the job began: "   1.25  port         text", or
    // the JSON object with "ms".
    void live(unsigned long ms, const char* party, const std::string& text, JsonLine event) const;
    // Text mode only.
    void text(const std::string& line) const;
    // JSON mode only.
    void event(const JsonLine& json) const;

private:
    void put(const std::string& line) const;
    mutable std::mutex lock_;  // lines come from the spooler's and the watchers' threads
};
