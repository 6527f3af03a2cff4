// Conversions between wide and ANSI texts.
#include "core/wide_text.h"

#include <windows.h>

#include "core/process_state.h"

char* AnsiCopy(const WideChar* text, bool& exact) {
    exact = true;
    if (text == nullptr) return nullptr;
    // A UTF-8 code page takes neither flag nor a used-default report; it
    // fails on what it cannot carry (a lone surrogate), and then the
    // replacement character stands in.
    bool utf8 = GetACP() == CP_UTF8;
    DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int size = WideCharToMultiByte(CP_ACP, flags, text, -1, nullptr, 0, nullptr, usedDefaultOut);
    if (size == 0 && utf8) {
        flags = 0;
        exact = false;
        size = WideCharToMultiByte(CP_ACP, flags, text, -1, nullptr, 0, nullptr, nullptr);
    }
    if (size == 0) return nullptr;
    auto* copy = static_cast<char*>(AllocZeroed(static_cast<SIZE_T>(size)));
    if (copy == nullptr) return nullptr;
    if (WideCharToMultiByte(CP_ACP, flags, text, -1, copy, size, nullptr, usedDefaultOut) == 0) {
        FreeBlock(copy);
        return nullptr;
    }
    if (usedDefault) exact = false;
    return copy;
}

WideChar* WideCopy(const char* text) {
    if (text == nullptr) return nullptr;
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length == 0) return nullptr;
    auto* copy =
        static_cast<WideChar*>(AllocZeroed(static_cast<SIZE_T>(length) * sizeof(WideChar)));
    if (copy == nullptr) return nullptr;
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, copy, length) == 0) {
        FreeBlock(copy);
        return nullptr;
    }
    return copy;
}
