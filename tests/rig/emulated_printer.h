// The printer behind an emulated port: keeps every byte it receives, speaks
// the status protocol and answers the port monitor's reads and control
// requests, with scriptable faults.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "core/platform.h"
#include "rig/status_packets.h"

enum class PrinterPort { Other, Serial, Parallel, Usb, Network };

struct ControlAnswer {
    BOOL ok = FALSE;
    DWORD lastError = ERROR_NOT_SUPPORTED;
};

// The status protocol, as the port monitors deliver it on every port type:
// - ESC i S anywhere in the received bytes (also split across writes) queues a
//   status reply (type 0) from the loaded media and the error bits.
// - A write whose last byte is a page end (FF 0x0C or SUB 0x1A) ends a page:
//   the phase change to printing (6, phase 1/0), printing ended (1) and the
//   phase change back (6, phase 0/0) are queued. The data path writes whole
//   commands, so a page-end byte at the end of a write is a page end; a test
//   that cuts raster data at an 0x0C sets autoPageCycle false and queues the
//   cycle itself with queuePrintCycle.
// - A write that ends right after the raster line that takes the raster count
//   over the printer's buffer (more than 700 lines, or 32618 bytes when
//   compressed; the data path splits a page there) prints what the printer
//   holds: the phase change to printing and back, without printing ended, as
//   the page goes on. The count follows the printer's own command walk and
//   starts again at every page end, split and reset.
// Every control request is answered whatever portKind says, so a test needs
// to set only what it looks at.
struct EmulatedPrinter {
    PrinterPort portKind = PrinterPort::Other;
    std::vector<u8> received;  // every byte written to the port
    u64 receivedCount = 0;     // kept also when the bytes are not
    bool keepBytes = true;     // false: received, printed and valuesSet stay empty
    // What came out of the printer: each page whose page end arrived and that
    // printed without an error status, as the bytes since the last page end
    // or reset sequence (status requests left out).
    std::vector<std::vector<u8>> printed;
    std::vector<DWORD> printedTicks;  // when each of them printed (GetTickCount)
    std::deque<u8> toHost;            // bytes queued for ReadPort

    // Most bytes one ReadPort delivers (0: as many as asked for).
    u32 readChunk = 0;

    // The loaded media and the error bits every status reply carries.
    u8 mediaWidth = 62;
    u8 mediaType = 0x0A;
    u8 mediaExtra = 0;
    u8 errorInfo1 = 0;
    u8 errorInfo2 = 0;
    bool answersStatus = true;  // false: a printer that never answers ESC i S
    bool autoPageCycle = true;

    // Scripted faults; pages count from 1 (the page a request belongs to is
    // the one after the last page end received). 0 switches a fault off.
    u32 errorPage = 0;  // the reply to this page's request carries the bits, once
    u8 pageErrorInfo1 = 0;
    u8 pageErrorInfo2 = 0;
    u32 errorStatusPage = 0;  // an error status (type 2) while this page prints, once
    u8 errorStatusInfo1 = 0x01;
    u8 errorStatusInfo2 = 0;
    // An error someone clears at the printer (a cover closed, media loaded):
    // its bits are in the next clearingReplies status replies, then gone.
    u8 clearingErrorInfo1 = 0;
    u32 clearingReplies = 0;
    u32 gonePage = 0;        // from this page's request on the printer is gone
    u32 silentFromPage = 0;  // from this page's end on the printer says nothing more
    bool gone = false;       // gone: requests get a type 3 packet, USB status 0
    u32 pageMs = 0;          // a slow printer: a page's print cycle arrives this long after its end
    std::vector<u8> noise;   // put in front of every packet queued
    std::vector<u8>
        babble;           // queued again whenever the queue runs dry: a port that never goes quiet
    DWORD readError = 0;  // the next readErrorTimes reads fail with it (-1: all)
    int readErrorTimes = 0;

    // Control answers.
    u32 usbStatus = 0x03;              // 0x220014
    u8 parallelStatus = 0x80;          // 0x160004: selected, not busy
    u32 parallelBusyAfterRequest = 0;  // the query after this status request answers busy, once
    u32 networkAnswerSize = 4;         // 0x1B0400 answers this many bytes of the count
    std::optional<u32> serialStatus;   // 0x1B2000; unset: made from the queue
    u32 serialExtraBits = 0;           // or-ed into the word made from the queue
    std::vector<std::pair<u32, u32>> valuesSet;  // 0x220034 and 0x1B0408: id, value

    u32 statusRequests = 0;
    u32 pagesEnded = 0;

    void receive(const u8* data, u32 size);
    // What the printer holds of a page whose end has not come.
    const std::vector<u8>& pending() const { return pageBuffer_; }
    // ReadPort: TRUE with the bytes, or FALSE with ERROR_COUNTER_TIMEOUT when none wait.
    BOOL read(u8* buffer, u32 size, u32* count, DWORD* error);
    // 0 when a read would bring something (or fail) now; else how long until
    // a slow printer's print cycle comes, INFINITE when nothing is due.
    DWORD msUntilReadable() const;
    ControlAnswer control(u32 controlId, const char* in, u32 inSize, char* out, u32 outSize,
                          u32* returned);
    void queue(const u8* data, u32 size);

    void queuePacket(const StatusPacket& packet);  // with the noise in front
    void queuePrintCycle(bool withPrintingEnded = true);
    // The status reply as it would be sent now (no page fault applied).
    StatusPacket statusReply() const;
    void clearErrors();
    u32 serialWord() const;

private:
    u32 requestMatched_ = 0;      // bytes of ESC i S matched so far
    std::vector<u8> pageBuffer_;  // the page being received
    std::deque<u8> printing_;     // the print cycle of a slow printer's page, held back
    DWORD printedTick_ = 0;       // when it is due
    void holdWhilePrinting(size_t queuedBefore);
    void releasePrinted();
    // The printer's walk over the page it receives: how far its commands are
    // read, and the raster data since the last page end, split or reset.
    size_t walked_ = 0;
    i32 rasterCount_ = 0;
    bool compressed_ = false;
    void answerStatusRequest();
    void endPage();
    void restartPage();
    bool walkToSplit();
    void printSplitPart();
};
