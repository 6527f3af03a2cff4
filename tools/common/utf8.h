// Text as the tools take it in: UTF-8, decoded character by character with
// the position of each for the reasons; and names from the ANSI code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TextCharacter {
    char32_t code;
    std::uint32_t line;    // from 1
    std::uint32_t column;  // characters from 1
};

// text's characters; false with "byte 0x.. at line L, character C is not
// UTF-8" in error. A new line ends a line and is not returned.
bool DecodeUtf8(const std::string& text, std::vector<TextCharacter>& out, std::string& error);

// "'é' (U+00E9)": a character as a reason names it.
std::string NameCharacter(char32_t code);

// text from the ANSI code page to UTF-8 (Windows passes names and arguments
// in it); unchanged elsewhere, where they are UTF-8 already.
std::string AnsiToUtf8(const std::string& text);
