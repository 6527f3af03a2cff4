// The data blocks that come with four of the notifications, decoded from the
// bytes of their shared-memory views. Platform-free.
#pragma once

#include <cstddef>
#include <string>

#include "core/platform.h"

struct JobStartBlock {
    u32 jobId = 0;
    std::string printer;
    std::string document;
    u32 connectWindow = 0;  // the handle's 32 bits, as the monitor stores it
};

struct MediaSettingsBlock {
    std::string caption;
    u8 width = 0;  // millimetres
    u8 type = 0;
    u8 extra = 0;
    u16 pageTotal = 0;
};

struct ProgressBlock {
    u16 page = 0;     // 0 when the monitor resumes after an answer
    u16 percent = 0;  // capped at 100
};

struct MediaStatusBlock {
    u8 width = 0;  // 0: no media loaded
    u8 type = 0;
    u8 extra = 0;
};

// The size of the block that comes with a notification; 0 when none does.
u32 BlockSizeOf(u32 code);

// Each takes the block's bytes and fails only when there are too few of them;
// texts end at their zero byte or at the end of their field, whichever comes first.
bool DecodeJobStart(const u8* bytes, size_t size, JobStartBlock& out);
bool DecodeMediaSettings(const u8* bytes, size_t size, MediaSettingsBlock& out);
bool DecodeProgress(const u8* bytes, size_t size, ProgressBlock& out);
bool DecodeMediaStatus(const u8* bytes, size_t size, MediaStatusBlock& out);
