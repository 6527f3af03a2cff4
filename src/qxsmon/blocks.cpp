// Decoding the notification blocks.
#include "qxsmon/blocks.h"

#include <cstring>

#include "core/statmon_interface.h"

namespace {

std::string FieldText(const u8* field, size_t size) {
    const void* end = std::memchr(field, 0, size);
    size_t length =
        end != nullptr ? static_cast<size_t>(static_cast<const u8*>(end) - field) : size;
    return std::string(reinterpret_cast<const char*>(field), length);
}

u16 ReadU16(const u8* at) { return static_cast<u16>(at[0] | (at[1] << 8)); }

u32 ReadU32(const u8* at) {
    return static_cast<u32>(at[0]) | (static_cast<u32>(at[1]) << 8) |
           (static_cast<u32>(at[2]) << 16) | (static_cast<u32>(at[3]) << 24);
}

}  // namespace

u32 BlockSizeOf(u32 code) {
    switch (code) {
        case NotifyJobStart: return JOB_START_BLOCK_SIZE;
        case NotifyMediaSettings: return MEDIA_SETTINGS_BLOCK_SIZE;
        case NotifyProgress: return PROGRESS_BLOCK_SIZE;
        case NotifyMediaStatus: return MEDIA_STATUS_BLOCK_SIZE;
        default: return 0;
    }
}

bool DecodeJobStart(const u8* bytes, size_t size, JobStartBlock& out) {
    if (size < JOB_START_BLOCK_SIZE) return false;
    out.jobId = ReadU32(bytes);
    out.printer = FieldText(bytes + JOB_START_PRINTER_OFFSET, JOB_START_NAME_SIZE);
    out.document = FieldText(bytes + JOB_START_DOCUMENT_OFFSET, JOB_START_NAME_SIZE);
    out.connectWindow = ReadU32(bytes + JOB_START_WINDOW_OFFSET);
    return true;
}

bool DecodeMediaSettings(const u8* bytes, size_t size, MediaSettingsBlock& out) {
    if (size < MEDIA_SETTINGS_BLOCK_SIZE) return false;
    out.caption = FieldText(bytes, MEDIA_SETTINGS_CAPTION_SIZE);
    out.width = bytes[MEDIA_SETTINGS_WIDTH_OFFSET];
    out.type = bytes[MEDIA_SETTINGS_TYPE_OFFSET];
    out.extra = bytes[MEDIA_SETTINGS_EXTRA_OFFSET];
    out.pageTotal = ReadU16(bytes + MEDIA_SETTINGS_PAGES_OFFSET);
    return true;
}

bool DecodeProgress(const u8* bytes, size_t size, ProgressBlock& out) {
    if (size < PROGRESS_BLOCK_SIZE) return false;
    out.page = ReadU16(bytes + PROGRESS_PAGE_OFFSET);
    u16 percent = ReadU16(bytes + PROGRESS_PERCENT_OFFSET);
    out.percent = percent > 100 ? 100 : percent;
    return true;
}

bool DecodeMediaStatus(const u8* bytes, size_t size, MediaStatusBlock& out) {
    if (size < MEDIA_STATUS_BLOCK_SIZE) return false;
    out.width = bytes[MEDIA_STATUS_WIDTH_OFFSET];
    out.type = bytes[MEDIA_STATUS_TYPE_OFFSET];
    out.extra = bytes[MEDIA_STATUS_EXTRA_OFFSET];
    return true;
}
