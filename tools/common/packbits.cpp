// PackBits encoder and decoder.
#include "common/packbits.h"

#include <algorithm>

namespace {

constexpr size_t MAX_RUN = 128;

// Length of the run of equal bytes starting at data[at].
size_t RunLength(const std::uint8_t* data, size_t length, size_t at) {
    size_t n = 1;
    while (at + n < length && n < MAX_RUN && data[at + n] == data[at]) ++n;
    return n;
}

}  // namespace

std::vector<std::uint8_t> PackBits(const std::uint8_t* data, size_t length) {
    std::vector<std::uint8_t> out;
    size_t at = 0;
    while (at < length) {
        size_t run = RunLength(data, length, at);
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.push_back(data[at]);
            at += run;
            continue;
        }
        // Literals up to the next run of two or more.
        size_t start = at;
        while (at < length && at - start < MAX_RUN && RunLength(data, length, at) < 2) ++at;
        out.push_back(static_cast<std::uint8_t>(at - start - 1));
        out.insert(out.end(), data + start, data + at);
    }
    return out;
}

bool UnpackBits(const std::uint8_t* data, size_t length, std::vector<std::uint8_t>& out,
                size_t limit) {
    size_t at = 0;
    while (at < length) {
        std::uint8_t header = data[at++];
        if (header == 128) continue;
        size_t room = limit > out.size() ? limit - out.size() : 0;
        if (header < 128) {
            size_t count = static_cast<size_t>(header) + 1;
            size_t have = std::min(count, length - at);
            size_t take = std::min(have, room);
            out.insert(out.end(), data + at, data + at + take);
            at += have;
            if (have < count || take < have) return false;
        } else {
            if (at >= length) return false;
            size_t count = 257 - static_cast<size_t>(header);
            out.insert(out.end(), std::min(count, room), data[at++]);
            if (count > room) return false;
        }
    }
    return true;
}
