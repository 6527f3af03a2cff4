// The contract with the status monitor application: its command line, the
// message it exchanges with the monitor, the notification codes and blocks.
#pragma once

#include "core/platform.h"

inline constexpr char STATMON_EXECUTABLE[] = "QXSMON.EXE";
inline constexpr char STATMON_COMMAND_FORMAT[] = "%s QX28";
inline constexpr char CONNECT_WINDOW_CLASS[] = "QXLAB ConnectThread";
inline constexpr char BLOCK_NAME_FORMAT[] = "%08x.mmf";
inline constexpr char LAUNCH_FAILURE_TEXT[] = "Monitor cannot excute QXSMON.EXE";
inline constexpr char LAUNCH_FAILURE_CAPTION[] = "Quorvin Monitor";

constexpr u32 WM_STATMON = 1224;  // WM_USER + 200, both directions

// Notification codes: class in the high 16 bits, code in the low 16.
constexpr u32 NotifyJobStart = 0x10100;
constexpr u32 NotifyMediaSettings = 0x10101;
constexpr u32 NotifyProgress = 0x10102;
constexpr u32 NotifyMediaStatus = 0x10103;
constexpr u32 NotifySystemError = 0x3001D;
constexpr u32 NotifyJobEnd = 0x40000;
constexpr u32 NotifyConnect = 0x50000;
constexpr u32 NotifyPrinting = 0x50021;
constexpr u32 NotifyWaiting = 0x50022;
constexpr u32 NotifyPrinterNotice = 0x58014;

// The class of a notification code, and the classes the monitor treats apart:
// state notifications await an answer; their codes and the phase notifications
// are not sent twice in a row.
constexpr u32 NotifyClass(u32 code) { return code >> 16; }
constexpr u32 NOTIFY_CLASS_ERROR = 2;
constexpr u32 NOTIFY_CLASS_FATAL = 3;
constexpr u32 NOTIFY_CLASS_PHASE = 5;
// A state notification: the job waits for an answer (class 2) or has stopped (3).
constexpr bool IsStateNotification(u32 code) {
    return NotifyClass(code) == NOTIFY_CLASS_ERROR || NotifyClass(code) == NOTIFY_CLASS_FATAL;
}

constexpr u32 JOB_START_BLOCK_SIZE = 264;
// The job start block: job id, printer and document names (zero-terminated,
// cut to 127 characters) and the connect window's handle.
constexpr u32 JOB_START_PRINTER_OFFSET = 4;
constexpr u32 JOB_START_DOCUMENT_OFFSET = 132;
constexpr u32 JOB_START_NAME_SIZE = 128;
constexpr u32 JOB_START_WINDOW_OFFSET = 260;
// The media settings block: the caption (zero-terminated), the job
// information block's first three media settings, the media's width before
// its type, the extra byte, the fourth setting and the page total shown.
constexpr u32 MEDIA_SETTINGS_BLOCK_SIZE = 73;
constexpr u32 MEDIA_SETTINGS_CAPTION_SIZE = 64;
constexpr u32 MEDIA_SETTINGS_FIRST_SETTING_OFFSET = 64;  // and the two after it
constexpr u32 MEDIA_SETTINGS_WIDTH_OFFSET = 67;
constexpr u32 MEDIA_SETTINGS_TYPE_OFFSET = 68;
constexpr u32 MEDIA_SETTINGS_EXTRA_OFFSET = 69;
constexpr u32 MEDIA_SETTINGS_FOURTH_SETTING_OFFSET = 70;
constexpr u32 MEDIA_SETTINGS_PAGES_OFFSET = 71;
// The progress block: page and percentage, 16 bits each.
constexpr u32 PROGRESS_BLOCK_SIZE = 8;
constexpr u32 PROGRESS_PAGE_OFFSET = 4;
constexpr u32 PROGRESS_PERCENT_OFFSET = 6;
// The media status block: the loaded media's width, type and extra byte.
constexpr u32 MEDIA_STATUS_BLOCK_SIZE = 5;
constexpr u32 MEDIA_STATUS_WIDTH_OFFSET = 2;
constexpr u32 MEDIA_STATUS_TYPE_OFFSET = 3;
constexpr u32 MEDIA_STATUS_EXTRA_OFFSET = 4;

// Reply states (high 16 bits of a reply's wParam).
constexpr u32 REPLY_CONTINUE = 1;
constexpr u32 REPLY_PAUSE = 2;
constexpr u32 REPLY_CANCEL = 3;
constexpr u32 REPLY_AWAITED = 5;

constexpr u32 StateNotifyCode(i16 stateClass, i16 stateCode) {
    return (static_cast<u32>(static_cast<u16>(stateClass)) << 16) + static_cast<u16>(stateCode);
}
