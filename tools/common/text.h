// Small text helpers shared by the command-line tools: printf into a string.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

// MinGW's C++ runtime formats as C99 does (%zu), which gnu_printf checks.
#if defined(__MINGW32__)
#define QXL_PRINTF(a, b) __attribute__((format(gnu_printf, a, b)))
#elif defined(__GNUC__)
#define QXL_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define QXL_PRINTF(a, b)
#endif

inline void AppendV(std::string& out, const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    if (length > 0) {
        size_t at = out.size();
        out.resize(at + static_cast<size_t>(length) + 1);
        std::vsnprintf(&out[at], static_cast<size_t>(length) + 1, format, again);
        out.resize(at + static_cast<size_t>(length));
    }
    va_end(again);
}

// Appends the formatted text to out.
inline void Appendf(std::string& out, const char* format, ...) QXL_PRINTF(2, 3);
inline void Appendf(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    AppendV(out, format, args);
    va_end(args);
}

inline std::string Format(const char* format, ...) QXL_PRINTF(1, 2);
inline std::string Format(const char* format, ...) {
    std::string out;
    va_list args;
    va_start(args, format);
    AppendV(out, format, args);
    va_end(args);
    return out;
}
