// Byte strings as the tests build and compare them: one concatenation, and
// the counts of a pattern in bytes and of a code in notifications.
// Header-only: the native tests use it too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "core/platform.h"

using Bytes = std::vector<u8>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Non-overlapping occurrences of pattern in bytes.
inline size_t CountOf(const Bytes& bytes, const Bytes& pattern) {
    size_t count = 0;
    auto at = bytes.begin();
    while ((at = std::search(at, bytes.end(), pattern.begin(), pattern.end())) != bytes.end()) {
        ++count;
        at += static_cast<long>(pattern.size());
    }
    return count;
}

inline size_t Count(const std::vector<u32>& codes, u32 code) {
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
}
