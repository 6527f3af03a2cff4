// UTF-8 decoding and the ANSI code page.
#include "common/utf8.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include "common/text.h"

bool DecodeUtf8(const std::string& text, std::vector<TextCharacter>& out, std::string& error) {
    std::uint32_t line = 1, column = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool good = length != 0 && i + length <= text.size();
        for (size_t k = 1; good && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            good = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        static constexpr char32_t LEAST[5] = {0, 0, 0x80, 0x800, 0x10000};
        good =
            good && code >= LEAST[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!good) {
            error =
                Format("byte 0x%02x at line %u, character %u is not UTF-8", lead, line, column + 1);
            return false;
        }
        i += length;
        if (code == '\n') {
            ++line;
            column = 0;
            continue;
        }
        out.push_back({code, line, ++column});
    }
    return true;
}

std::string NameCharacter(char32_t code) {
    std::string utf8;
    if (code < 0x80) {
        utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
        utf8 += static_cast<char>(0xC0 | (code >> 6));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (code >> 12));
        utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | (code >> 18));
        utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
    if (code < 0x20 || code == 0x7F) utf8 = "";  // a control character has no picture
    return (utf8.empty() ? "" : "'" + utf8 + "' ") +
           Format("(U+%04X)", static_cast<unsigned>(code));
}

std::string AnsiToUtf8(const std::string& text) {
#if defined(_WIN32)
    bool ascii = true;
    for (unsigned char c : text) ascii = ascii && c < 0x80;
    if (ascii || text.size() > 0x7FFFFFF) return text;
    const int length = static_cast<int>(text.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (wide <= 0) return text;
    std::wstring buffer(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, buffer.data(), wide);
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
#else
    return text;
#endif
}
