// The rebuild over memory, for the rebuild's tests: a harness that counts and
// fails allocations, and the blocks, pages and records the expected outputs
// are built from. Header-only and platform-free: the native tests use it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "rebuild/rebuild.h"
#include "rig/bytes.h"
#include "rig/spool_file_builder.h"

namespace rebuild_rig {

using Buf = std::vector<u8>;
constexpr u8 ESC = 0x1B;
constexpr u8 FF = 0x0C;
constexpr u8 SUB = 0x1A;

// Memory output with counted allocations, and a failure at a chosen call.
struct Harness {
    Buf out;
    int writes = 0;
    int allocations = 0;
    int outstanding = 0;
    int failWrite = -1;
    int failAllocation = -1;

    static bool Write(void* context, const u8* data, u32 length) {
        Harness* h = static_cast<Harness*>(context);
        EXPECT_GT(length, 0u);
        if (h->writes++ == h->failWrite) return false;
        h->out.insert(h->out.end(), data, data + length);
        return true;
    }
    static void* Allocate(void* context, u32 size) {
        Harness* h = static_cast<Harness*>(context);
        EXPECT_GT(size, 0u);
        if (h->allocations++ == h->failAllocation) return nullptr;
        ++h->outstanding;
        return calloc(1, size);
    }
    static void Release(void* context, void* block) {
        --static_cast<Harness*>(context)->outstanding;
        free(block);
    }
    RebuildIo io() { return RebuildIo{this, Write, Allocate, Release}; }

    bool run(Buf image) {
        RebuildIo table = io();
        bool ok = RebuildJobImage(image.data(), static_cast<u32>(image.size()), &table);
        EXPECT_EQ(outstanding, 0) << "every block is released";
        return ok;
    }
};

inline Buf Rebuild(const std::vector<SpoolRecordFields>& records) {
    Harness h;
    EXPECT_EQ(h.run(SpoolFileBytes(records)), 1);
    return h.out;
}

// The block the rebuild is expected to write, laid out from its byte table.
struct BlockFields {
    u16 page;
    u16 total;
    u16 flags;
    u32 pageBytes;
    u8 mediaType = 1;
    u8 width = 18;
    u8 extra = 0;
    u8 setting4 = 0;
};

inline Buf Block(const BlockFields& b) {
    Buf out(92, 0);
    out[0] = ESC;
    out[1] = 'i';
    out[2] = 'I';
    out[3] = 'X';
    out[7] = b.mediaType;
    out[8] = b.width;
    out[9] = b.extra;
    out[10] = b.setting4;
    out[11] = 1;
    PutLe(out, 12, b.flags, 2);
    PutLe(out, 14, b.page, 2);
    PutLe(out, 16, b.page, 2);
    PutLe(out, 18, b.total, 2);
    PutLe(out, 20, b.total, 2);
    PutLe(out, 22, 1, 2);
    PutLe(out, 24, b.pageBytes, 4);
    return out;
}

const Buf RESET{ESC, '@'};
const Buf FORM_FEED{FF};

inline Buf EndJob(Buf stream) {
    stream.back() = SUB;
    return stream;
}

// A one-page record: control commands (14 bytes), two raster bytes, form feed.
inline Buf PageData(u8 cut, u8 cParam, u8 marker) {
    return {ESC, '@', ESC, 'i', 'K', cut, ESC, 'i',    'c',    cParam,
            1,   2,   3,   4,   'G', 2,   0,   marker, marker, FF};
}
inline Buf PageControls(u8 cut) {
    return {ESC, '@', ESC, 'i', 'K', cut, ESC, 'i', 'c', 0, 1, 2, 3, 4};
}

// The same control commands in front of a chosen amount of raster data.
inline Buf LargePage(u8 cut, u8 cParam, u32 raster) {
    Buf data{ESC,
             '@',
             ESC,
             'i',
             'K',
             cut,
             ESC,
             'i',
             'c',
             cParam,
             1,
             2,
             3,
             4,
             'G',
             static_cast<u8>(raster),
             static_cast<u8>(raster >> 8)};
    data.resize(data.size() + raster, 0x77);
    data.push_back(FF);
    return data;
}

inline SpoolRecordFields Record(Buf data, i16 copies = 1, u8 collate = 0, u8 reverse = 0,
                                i16 paperId = 260) {
    SpoolRecordFields record;
    record.data = std::move(data);
    record.copies = copies;
    record.collate = collate;
    record.reverseOrder = reverse;
    record.paperId = paperId;
    return record;
}

const Buf PIECE1{ESC, '@', ESC, 'i', 'K', 0x88, 'G', 1, 0, 'x', FF};
const Buf PIECE2{ESC, 'i', 'a', 1, 'G', 1, 0, 'y', FF};
constexpr i16 TWO_PIECES = 280;  // 18 mm

struct Page {
    u16 pageNumber;
    u16 partIndex;
    u16 total;
    u8 marker;  // parameter of the page's ESC i a
};

// Pages of an output, each found by its block and named by its ESC i a.
inline std::vector<Page> Pages(const Buf& out) {
    std::vector<Page> pages;
    for (size_t i = 0; i + 3 < out.size(); ++i) {
        if (out[i] != ESC || out[i + 1] != 'i') continue;
        if (out[i + 2] == 'I' && out[i + 3] == 'X' && i + 92 <= out.size()) {
            pages.push_back(Page{static_cast<u16>(out[i + 16] | out[i + 17] << 8),
                                 static_cast<u16>(out[i + 14] | out[i + 15] << 8),
                                 static_cast<u16>(out[i + 18] | out[i + 19] << 8), 0});
            i += 91;
        } else if (out[i + 2] == 'a' && !pages.empty()) {
            pages.back().marker = out[i + 3];
        }
    }
    return pages;
}

}  // namespace rebuild_rig
