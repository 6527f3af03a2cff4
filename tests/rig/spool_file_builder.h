// Builds spooled multi-copy job files (58-byte record headers and their data)
// for the rebuild's tests and fuzzer. Header-only: the native tests use it too.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

struct SpoolRecordFields {
    std::int16_t paperId = 260;  // 18 mm, one piece, on ordinary media
    std::uint8_t settingFlag = 0;
    std::int16_t copies = 1;
    std::uint8_t collate = 0;
    std::uint8_t reverseOrder = 0;
    std::uint8_t explicitWidth = 0;
    std::uint8_t mediaType = 1;
    std::uint8_t mediaExtra = 0;
    std::vector<std::uint8_t> data;
};

inline void PutLe(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One record laid out byte by byte, so the tests do not lean on the product's struct.
inline std::vector<std::uint8_t> SpoolRecordBytes(const SpoolRecordFields& record) {
    std::vector<std::uint8_t> out(58, 0);
    PutLe(out, 0, 58, 4);
    PutLe(out, 4, static_cast<std::uint32_t>(58 + record.data.size()), 4);
    PutLe(out, 8, static_cast<std::uint16_t>(record.paperId), 2);
    out[10] = record.settingFlag;
    out[11] = 0xEE;  // not read
    PutLe(out, 12, static_cast<std::uint16_t>(record.copies), 2);
    out[14] = record.collate;
    out[15] = record.reverseOrder;
    for (int i = 16; i < 55; ++i) out[i] = 0xEE;  // not read
    out[55] = record.explicitWidth;
    out[56] = record.mediaType;
    out[57] = record.mediaExtra;
    out.insert(out.end(), record.data.begin(), record.data.end());
    return out;
}

inline std::vector<std::uint8_t> SpoolFileBytes(const std::vector<SpoolRecordFields>& records) {
    std::vector<std::uint8_t> out;
    for (const SpoolRecordFields& record : records) {
        std::vector<std::uint8_t> bytes = SpoolRecordBytes(record);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}
