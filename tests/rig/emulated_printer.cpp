// The emulated printer's byte handling, status protocol and control answers.
#include "rig/emulated_printer.h"

#include <algorithm>
#include <cstring>

#include "common/commands.h"
#include "core/port_monitor.h"
#include "core/printer_commands.h"

namespace {

// The printer's receive buffer: more raster data than this it prints at once.
constexpr i32 SPLIT_LINES = 700;
constexpr i32 SPLIT_COMPRESSED_BYTES = 32618;

// 48 zero bytes and ESC @ at the end of the buffer: the printer starts afresh.
bool EndsWithReset(const std::vector<u8>& bytes) {
    size_t n = bytes.size();
    constexpr size_t ESC_AT = sizeof RESET_COMMAND;
    if (n < RESET_ZEROS + ESC_AT || !std::equal(bytes.end() - ESC_AT, bytes.end(), RESET_COMMAND))
        return false;
    return std::all_of(bytes.end() - ESC_AT - RESET_ZEROS, bytes.end() - ESC_AT,
                       [](u8 b) { return b == 0; });
}

}  // namespace

void EmulatedPrinter::receive(const u8* data, u32 size) {
    receivedCount += size;
    if (keepBytes) received.insert(received.end(), data, data + size);
    for (u32 i = 0; i < size; ++i) {
        u8 byte = data[i];
        pageBuffer_.push_back(byte);
        if (byte == STATUS_REQUEST[requestMatched_]) {
            if (++requestMatched_ == sizeof STATUS_REQUEST) {
                requestMatched_ = 0;
                pageBuffer_.resize(pageBuffer_.size() - sizeof STATUS_REQUEST);
                walked_ = std::min(walked_, pageBuffer_.size());
                answerStatusRequest();
            }
        } else {
            requestMatched_ = byte == STATUS_REQUEST[0] ? 1 : 0;
        }
        if (byte == RESET_COMMAND[1] && EndsWithReset(pageBuffer_)) restartPage();
    }
    const bool split = walkToSplit();
    if (!autoPageCycle || size == 0) return;
    size_t queuedBefore = toHost.size();
    if (data[size - 1] == CMD_FF || data[size - 1] == CMD_SUB)
        endPage();
    else if (split)
        printSplitPart();
    holdWhilePrinting(queuedBefore);
}

// ESC @ (the end of the reset sequence) initialises the printer: the page in
// progress is dropped and compression is off.
void EmulatedPrinter::restartPage() {
    pageBuffer_.clear();
    walked_ = 0;
    rasterCount_ = 0;
    compressed_ = false;
}

// Reads the commands received since the last walk, counting raster data as the
// data path does; true when the bytes end right after the line that took the
// count over the buffer. A command not yet whole waits for the next write.
bool EmulatedPrinter::walkToSplit() {
    const size_t size = pageBuffer_.size();
    bool over = false;
    while (walked_ < size) {
        const u8* at = pageBuffer_.data() + walked_;
        const Command command = ReadCommand(at, size - walked_);
        if (command.cutShort) return false;
        walked_ += command.length;
        switch (command.kind) {
            case CommandKind::Raster:
                rasterCount_ += compressed_ ? static_cast<i32>(RasterDataLength(at, command)) : 1;
                break;
            case CommandKind::ZeroRaster: rasterCount_ += compressed_ ? 2 : 1; break;
            case CommandKind::Compression: compressed_ = at[1] != 0; break;
            case CommandKind::PageEnd:
            case CommandKind::LastPageEnd: rasterCount_ = 0; break;
            default: break;
        }
        over = rasterCount_ > (compressed_ ? SPLIT_COMPRESSED_BYTES : SPLIT_LINES);
    }
    return over;
}

// What the printer holds of the page prints; the page goes on, so printing
// does not end.
void EmulatedPrinter::printSplitPart() {
    rasterCount_ = 0;
    if (gone || (silentFromPage != 0 && pagesEnded + 1 >= silentFromPage)) return;
    queuePrintCycle(false);
}

// A slow printer's page: what the page end queued comes only pageMs later.
void EmulatedPrinter::holdWhilePrinting(size_t queuedBefore) {
    if (pageMs == 0 || toHost.size() <= queuedBefore) return;
    printing_.insert(printing_.end(), toHost.begin() + static_cast<long>(queuedBefore),
                     toHost.end());
    toHost.resize(queuedBefore);
    printedTick_ = GetTickCount() + pageMs;
}

void EmulatedPrinter::releasePrinted() {
    if (printing_.empty() || static_cast<LONG>(GetTickCount() - printedTick_) < 0) return;
    toHost.insert(toHost.end(), printing_.begin(), printing_.end());
    printing_.clear();
}

void EmulatedPrinter::queue(const u8* data, u32 size) {
    toHost.insert(toHost.end(), data, data + size);
}

void EmulatedPrinter::queuePacket(const StatusPacket& packet) {
    toHost.insert(toHost.end(), noise.begin(), noise.end());
    const u8* bytes = reinterpret_cast<const u8*>(&packet);
    toHost.insert(toHost.end(), bytes, bytes + sizeof packet);
}

StatusPacket EmulatedPrinter::statusReply() const {
    return MakeStatusPacket({.statusType = STATUS_REPLY,
                             .errorInfo1 = errorInfo1,
                             .errorInfo2 = errorInfo2,
                             .mediaWidth = mediaWidth,
                             .mediaType = mediaType,
                             .mediaExtra = mediaExtra});
}

void EmulatedPrinter::clearErrors() {
    errorInfo1 = errorInfo2 = 0;
    errorPage = errorStatusPage = gonePage = 0;
    clearingReplies = 0;
    gone = false;
    usbStatus = 0x03;
}

void EmulatedPrinter::answerStatusRequest() {
    ++statusRequests;
    u32 page = pagesEnded + 1;
    if (gonePage != 0 && page >= gonePage) gone = true;
    if (gone) {
        usbStatus = 0;
        queuePacket(MakeStatusPacket({.statusType = STATUS_GONE_A}));
        return;
    }
    if (!answersStatus) return;
    StatusPacket reply = statusReply();
    if (errorPage == page) {
        reply.errorInfo1 |= pageErrorInfo1;
        reply.errorInfo2 |= pageErrorInfo2;
        errorPage = 0;
    }
    if (clearingReplies != 0) {
        reply.errorInfo1 |= clearingErrorInfo1;
        --clearingReplies;
    }
    queuePacket(reply);
}

void EmulatedPrinter::queuePrintCycle(bool withPrintingEnded) {
    queuePacket(PhasePacket(PHASE_PRINTING, 0));
    if (withPrintingEnded) queuePacket(MakeStatusPacket({.statusType = STATUS_PRINTING_ENDED}));
    queuePacket(PhasePacket(PHASE_RECEIVING, 0));
}

// An error status while a page prints stops the printer: nothing more comes
// for that page until the host resets it and sends the page again.
void EmulatedPrinter::endPage() {
    u32 page = ++pagesEnded;
    std::vector<u8> bytes;
    bytes.swap(pageBuffer_);
    walked_ = 0;
    rasterCount_ = 0;
    if (gone || (silentFromPage != 0 && page >= silentFromPage)) return;
    if (errorStatusPage == page) {
        errorStatusPage = 0;
        queuePacket(PhasePacket(PHASE_PRINTING, 0));
        queuePacket(MakeStatusPacket({.statusType = STATUS_ERROR,
                                      .errorInfo1 = errorStatusInfo1,
                                      .errorInfo2 = errorStatusInfo2}));
        return;
    }
    if (keepBytes) {
        printed.push_back(std::move(bytes));
        printedTicks.push_back(GetTickCount());
    }
    queuePrintCycle(true);
}

BOOL EmulatedPrinter::read(u8* buffer, u32 size, u32* count, DWORD* error) {
    releasePrinted();
    if (readErrorTimes != 0) {
        if (readErrorTimes > 0) --readErrorTimes;
        *count = 0;
        *error = readError;
        return FALSE;
    }
    if (toHost.empty()) toHost.insert(toHost.end(), babble.begin(), babble.end());
    u32 n = std::min<u32>(size, static_cast<u32>(toHost.size()));
    if (readChunk != 0) n = std::min(n, readChunk);
    *count = n;
    if (n == 0) {
        *error = ERROR_COUNTER_TIMEOUT_CODE;
        return FALSE;
    }
    std::copy_n(toHost.begin(), n, buffer);
    toHost.erase(toHost.begin(), toHost.begin() + n);
    return TRUE;
}

DWORD EmulatedPrinter::msUntilReadable() const {
    if (!toHost.empty() || !babble.empty() || readErrorTimes != 0) return 0;
    if (printing_.empty()) return INFINITE;
    LONG left = static_cast<LONG>(printedTick_ - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

u32 EmulatedPrinter::serialWord() const {
    if (serialStatus) return *serialStatus;
    u32 waiting = std::min<u32>(static_cast<u32>(toHost.size()), 0xFFFF);
    return 0x01 | (waiting != 0 ? 0x02 : 0) | (waiting << 16) | serialExtraBits;
}

ControlAnswer EmulatedPrinter::control(u32 controlId, const char* in, u32 inSize, char* out,
                                       u32 outSize, u32* returned) {
    releasePrinted();
    if (returned != nullptr) *returned = 0;
    auto answer = [&](u32 value, u32 size) -> ControlAnswer {
        if (out == nullptr || outSize < size) return {FALSE, ERROR_INSUFFICIENT_BUFFER};
        std::memcpy(out, &value, size);
        if (returned != nullptr) *returned = size;
        return {TRUE, 0};
    };
    auto takeValue = [&]() -> ControlAnswer {
        if (in == nullptr || inSize < sizeof(u32)) return {FALSE, ERROR_INVALID_PARAMETER};
        u32 value;
        std::memcpy(&value, in, sizeof value);
        if (keepBytes) valuesSet.emplace_back(controlId, value);
        return {TRUE, 0};
    };
    switch (controlId) {
        case CONTROL_USB_STATUS: return answer(gone ? 0 : usbStatus, sizeof(u32));
        case CONTROL_NETWORK_QUEUED:
            return answer(static_cast<u32>(toHost.size()), std::min<u32>(networkAnswerSize, 4));
        case CONTROL_SERIAL_STATUS:
            if (returned == nullptr) return {FALSE, ERROR_INVALID_PARAMETER};
            *returned = serialWord();
            return {TRUE, 0};
        case CONTROL_PAR_QUERY:
            // Busy once, at the first query after that status request: the
            // page's check passes and its data then finds the port busy.
            if (parallelBusyAfterRequest != 0 && statusRequests == parallelBusyAfterRequest) {
                parallelBusyAfterRequest = 0;
                return answer(0xC0, sizeof(u32));
            }
            return answer(parallelStatus, sizeof(u32));
        case CONTROL_PORT_VALUE:
        case CONTROL_NETWORK_VALUE: return takeValue();
        default: return {};
    }
}
