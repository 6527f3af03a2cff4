// The text of trace lines and the names of what they show.
#include "core/trace_format.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/printer_states.h"
#include "core/statmon_interface.h"

namespace {

void IgnoreStateChange(PortSession&, i16, i16) {}

// Room for text before the end of line, which is always kept free.
constexpr u32 TEXT_LIMIT = TRACE_LINE_SIZE - (sizeof TRACE_END_OF_LINE - 1);

void MarkCut(TraceLine& line) {
    constexpr u32 mark = sizeof TRACE_CUT_MARK - 1;
    line.length = TEXT_LIMIT;
    std::memcpy(line.text + TEXT_LIMIT - mark, TRACE_CUT_MARK, mark);
    line.text[line.length] = '\0';
    line.cut = true;
}

struct CodeName {
    u32 code;
    const char* name;
};

constexpr CodeName NOTIFY_NAMES[] = {
    {NotifyJobStart, "job start"},       {NotifyMediaSettings, "media settings"},
    {NotifyProgress, "progress"},        {NotifyMediaStatus, "media status"},
    {NotifySystemError, "system error"}, {NotifyJobEnd, "job end"},
    {NotifyConnect, "connect"},          {NotifyPrinting, "printing"},
    {NotifyWaiting, "waiting"},          {NotifyPrinterNotice, "printer notice"},
};

const char* Lookup(const CodeName* table, size_t count, u32 code) {
    for (size_t i = 0; i < count; ++i) {
        if (table[i].code == code) return table[i].name;
    }
    return nullptr;
}

template <size_t N>
const char* NameAt(const char* const (&names)[N], u32 index) {
    return index < N ? names[index] : nullptr;
}

}  // namespace

StateTraceHook g_stateTraceHook = IgnoreStateChange;

void TraceAppend(TraceLine& line, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    TraceAppendV(line, format, arguments);
    va_end(arguments);
}

void TraceAppendV(TraceLine& line, const char* format, va_list arguments) {
    if (line.cut) return;
    u32 room = TEXT_LIMIT - line.length;
    int wanted = std::vsnprintf(line.text + line.length, room + 1, format, arguments);
    // Cut either way the buffer is full up to the bound (a runtime that reports
    // a cut as -1 fills it too), and the mark goes over its end.
    if (wanted < 0 || static_cast<u32>(wanted) > room) {
        MarkCut(line);
        return;
    }
    line.length += static_cast<u32>(wanted);
}

void TraceBegin(TraceLine& line, const TraceTime& time, u32 threadId, const char* portName) {
    line.length = 0;
    line.cut = false;
    line.text[0] = '\0';
    TraceAppend(line, "%s %04u-%02u-%02u %02u:%02u:%02u.%03u [%u] %s ", TRACE_SOURCE, time.year,
                time.month, time.day, time.hour, time.minute, time.second, time.milliseconds,
                static_cast<unsigned>(threadId), portName != nullptr ? portName : "-");
}

void TraceFinish(TraceLine& line) {
    std::memcpy(line.text + line.length, TRACE_END_OF_LINE, sizeof TRACE_END_OF_LINE);
    line.length += sizeof TRACE_END_OF_LINE - 1;
}

const char* NotifyName(u32 code) {
    return Lookup(NOTIFY_NAMES, sizeof NOTIFY_NAMES / sizeof NOTIFY_NAMES[0], code);
}

const char* StateName(i16 stateClass, i16 stateCode) {
    if (const PrinterState* state = FindPrinterState(stateClass, stateCode)) return state->name;
    if (stateClass == STATE_ERROR) return "printer error";
    if (stateClass == STATE_FATAL) return "fatal printer error";
    return nullptr;
}

const char* SegmentKindName(i16 kind) {
    static constexpr const char* NAMES[] = {"plain", "page end", "last page", "split"};
    return NameAt(NAMES, static_cast<u16>(kind));
}

const char* PortTypeName(i16 portType) {
    static constexpr const char* NAMES[] = {"other",    "serial", nullptr,
                                            "parallel", "usb",    "network"};
    return NameAt(NAMES, static_cast<u16>(portType));
}

const char* StatusTypeName(u8 statusType) {
    static constexpr const char* NAMES[] = {"reply", "printing ended", "error",       "gone",
                                            "gone",  "notification",   "phase change"};
    return NameAt(NAMES, statusType);
}

const char* ReplyName(u32 state) {
    static constexpr const char* NAMES[] = {nullptr,  "continue", "pause",
                                            "cancel", nullptr,    "awaited"};
    return NameAt(NAMES, state);
}

void TraceAppendNotify(TraceLine& line, u32 code) {
    if (const char* name = NotifyName(code)) {
        TraceAppend(line, "%s", name);
        return;
    }
    if (IsStateNotification(code)) {
        TraceAppend(line, "state (%u,%u)", static_cast<unsigned>(NotifyClass(code)),
                    static_cast<unsigned>(code & 0xFFFF));
        if (const PrinterState* state = FindPrinterState(code))
            TraceAppend(line, " %s", state->name);
        return;
    }
    TraceAppend(line, "0x%x", static_cast<unsigned>(code));
}

void TraceAppendState(TraceLine& line, i16 stateClass, i16 stateCode) {
    TraceAppend(line, "(%d,%d)", stateClass, stateCode);
    if (const char* name = StateName(stateClass, stateCode)) TraceAppend(line, " %s", name);
}

void TraceAppendPacket(TraceLine& line, const StatusPacket& packet) {
    const char* type = StatusTypeName(packet.statusType);
    if (type != nullptr)
        TraceAppend(line, "%s", type);
    else
        TraceAppend(line, "type %u", packet.statusType);
    TraceAppend(line,
                ", phase %u/%u, errors %02x %02x, media width %u type 0x%02x extra 0x%02x, bytes",
                packet.phaseType,
                static_cast<unsigned>(packet.phaseNumberHigh << 8 | packet.phaseNumberLow),
                packet.errorInfo1, packet.errorInfo2, packet.mediaWidth, packet.mediaType,
                packet.mediaExtra);
    const u8* bytes = reinterpret_cast<const u8*>(&packet);
    for (u32 i = 0; i < TRACE_PACKET_PREFIX; ++i) TraceAppend(line, " %02x", bytes[i]);
}

const char* JobOutcome(const PortSession& session) {
    if (session.trace.jobEnd == TRACE_END_REBUILD_REFUSED) return "not printed";
    if (!(session.job.flags & PSF_STOPPED) || session.trace.jobEnd == TRACE_END_LAST_PAGE)
        return "printed";
    if (session.job.link.replyState == REPLY_CANCEL ||
        (session.stateClass == STATE_FATAL && session.stateCode == 0))
        return "cancelled";
    return "stopped";
}
