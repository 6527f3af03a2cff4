// qxlprint's output: readable lines under headings, or one JSON object a line
// for tools. Every item is given in both forms; the mode picks one.
#pragma once

#include <string>

// One JSON object, built field by field: {"event":"call","name":"OpenPortEx",...}.
struct JsonLine {
    explicit JsonLine(const char* event);
    JsonLine& add(const char* key, const std::string& value);
    JsonLine& add(const char* key, const char* value) { return add(key, std::string(value)); }
    JsonLine& add(const char* key, long long value);
    JsonLine& flag(const char* key, bool value);
    // A value already in JSON form (an array, an object).
    JsonLine& raw(const char* key, const std::string& json);
    std::string text;
};

std::string JsonString(const std::string& value);

struct Transcript {
    bool json = false;

    // Text mode only: a blank line and "title:".
    void heading(const std::string& title) const;
    // The item as an indented text line, or as its JSON object.
    void item(const std::string& text, const JsonLine& event) const;
    // Text mode only.
    void text(const std::string& line) const;
    // JSON mode only.
    void event(const JsonLine& json) const;
};
