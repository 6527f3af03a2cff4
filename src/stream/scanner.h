// The command stream scanner: cuts a buffer of the printer's command stream
// into segments for the sender, takes out job information blocks and makes the
// three in-place edits. Platform-free; the sender is passed in.
#pragma once

#include "core/port_session.h"

// The working values of one scan, shared with the sender.
struct ScanCursor {
    u8* buffer;
    u32 length;
    u32 consumed;  // bytes finished with, from the buffer's start; base = buffer + consumed
    u32 pos;       // bytes past base scanned and not yet handed over
    bool keepScanning;

    u8* base() const { return buffer + consumed; }
};

enum class SendResult {
    Continue,  // scanning goes on: consumed moved by the bytes written, pos = bytes not written
    EndTrue,   // ScanStream returns TRUE
    EndFalse,  // ScanStream returns FALSE; the state pair says why
};

// Where the scanner hands its work. The Win32 data path supplies two: one for
// the stream as the spooler gives it, and one for bytes sent again, which
// keeps nothing since they are kept already; tests supply recorders.
struct ScanSender {
    void* context;
    // The segment is cursor.pos bytes at cursor.base(), ending as kind says.
    SendResult (*sendSegment)(void* context, PortSession& session, ScanCursor& cursor,
                              SegmentKind kind);
    // A complete 92-byte job information block; the result is not used.
    bool (*takeJobInfo)(void* context, PortSession& session, const u8* block);
    // Keeps a job information block for a resend (in the page's segment list).
    bool (*storeSegment)(void* context, PortSession& session, const u8* data, u32 length);
    // The segment list could not take a block: NotifySystemError and the reset sequence.
    void (*storeFailed)(void* context, PortSession& session);
};

enum class ScanMode {
    Normal,
    // The bytes are the last of the stream: an unknown byte is stepped over even
    // with fewer than 19 bytes after it, so a page end behind it is still met.
    // Incomplete known commands still wait (the caller drops them).
    EndOfStream,
};

// Scans one buffer; consumed (set to 0 by the caller) counts the finished bytes.
// TRUE: done, the bytes from consumed on come again with the next call.
// FALSE: failed, the state pair says why.
bool ScanStreamWith(PortSession& session, u8* buffer, u32 length, u32& consumed,
                    const ScanSender& sender, ScanMode mode = ScanMode::Normal);

// The data path's scans with the real senders (Win32 build only): of the
// stream as the spooler gives it, each segment kept for a resend before it
// goes; and of kept bytes sent again, which stores nothing.
bool ScanStream(PortSession& session, u8* buffer, u32 length, u32& consumed,
                ScanMode mode = ScanMode::Normal);
bool RescanStream(PortSession& session, u8* buffer, u32 length, u32& consumed, ScanMode mode);

// Raster limits: lines without compression, data bytes with it.
constexpr i32 RASTER_LINE_LIMIT = 700;
constexpr i32 RASTER_BYTE_LIMIT = 32618;
