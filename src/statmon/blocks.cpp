// The four notifications that carry a data block.
#include <cstring>

#include "statmon/notify.h"
#include "statmon/progress.h"

namespace {

void PutU16(u8* at, u16 value) { std::memcpy(at, &value, 2); }
void PutU32(u8* at, u32 value) { std::memcpy(at, &value, 4); }

// Copies a text cut to capacity - 1 characters; the block is already zeroed.
void PutText(u8* at, const char* text, size_t capacity) {
    if (text == nullptr) return;
    size_t n = strnlen(text, capacity - 1);
    std::memcpy(at, text, n);
}

}  // namespace

bool SendJobStart(PortSession& session) {
    u8 block[JOB_START_BLOCK_SIZE] = {};
    PutU32(block, session.job.jobId);
    PutText(block + JOB_START_PRINTER_OFFSET, session.job.printerName, JOB_START_NAME_SIZE);
    PutText(block + JOB_START_DOCUMENT_OFFSET, session.job.documentName, JOB_START_NAME_SIZE);
    // Window handles are 32-bit values on every Windows, also in 64-bit processes.
    PutU32(block + JOB_START_WINDOW_OFFSET,
           static_cast<u32>(reinterpret_cast<uintptr_t>(session.job.link.connectWindow)));
    return SendNotify(session, NotifyJobStart, block, sizeof block, true);
}

bool SendMediaSettings(PortSession& session) {
    const JobInfoBlock& info = session.job.jobInfo;
    u8 block[MEDIA_SETTINGS_BLOCK_SIZE] = {};
    PutText(block, info.caption, MEDIA_SETTINGS_CAPTION_SIZE);
    block[MEDIA_SETTINGS_FIRST_SETTING_OFFSET] = info.mediaSetting1;
    block[MEDIA_SETTINGS_FIRST_SETTING_OFFSET + 1] = info.mediaSetting2;
    block[MEDIA_SETTINGS_FIRST_SETTING_OFFSET + 2] = info.mediaSetting3;
    block[MEDIA_SETTINGS_WIDTH_OFFSET] = info.mediaWidth;
    block[MEDIA_SETTINGS_TYPE_OFFSET] = info.mediaType;
    block[MEDIA_SETTINGS_EXTRA_OFFSET] = info.mediaExtra;
    block[MEDIA_SETTINGS_FOURTH_SETTING_OFFSET] = info.mediaSetting4;
    PutU16(block + MEDIA_SETTINGS_PAGES_OFFSET, info.pageTotalShown);
    return SendNotify(session, NotifyMediaSettings, block, sizeof block, true);
}

bool SendMediaStatus(PortSession& session, const StatusPacket& packet) {
    u8 block[MEDIA_STATUS_BLOCK_SIZE] = {};
    block[MEDIA_STATUS_WIDTH_OFFSET] = packet.mediaWidth;
    block[MEDIA_STATUS_TYPE_OFFSET] = packet.mediaType;
    block[MEDIA_STATUS_EXTRA_OFFSET] = packet.mediaExtra;
    return SendNotify(session, NotifyMediaStatus, block, sizeof block, true);
}

bool SendProgress(PortSession& session, i16 kind) {
    ProgressReport report = ComputeProgress(session.job.jobInfo, session.job.data.pageBytesSent,
                                            session.job.data.lastPercent, kind);
    if (!report.send) return true;
    u8 block[PROGRESS_BLOCK_SIZE] = {};
    PutU16(block + PROGRESS_PAGE_OFFSET, report.page);
    PutU16(block + PROGRESS_PERCENT_OFFSET, report.percent);
    return SendNotify(session, NotifyProgress, block, sizeof block, true);
}
