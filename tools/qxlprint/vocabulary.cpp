// Display names. The meaning of an error bit to a user is the application's
// business; these say where each state comes from.
#include "qxlprint/vocabulary.h"

#include "common/text.h"
#include "core/port_session.h"
#include "core/statmon_interface.h"
#include "qxlprint/transcript.h"
#include "status/status.h"

namespace {

struct StateEntry {
    int stateClass;
    int stateCode;
    const char* name;
    const char* text;
};

constexpr StateEntry STATES[] = {
    {1, 0, "ready", ""},
    {2, 1, "no media", "errorInfo1 0x01, or no media loaded"},
    {2, 5, "cover open", "errorInfo1 0x02"},
    {3, 12, "errorInfo1 0x04", ""},
    {2, 19, "errorInfo1 0x08", ""},
    {2, 49, "errorInfo1 0x10", ""},
    {3, 24, "errorInfo1 0x40", ""},
    {2, 8, "errorInfo1 0x80", ""},
    {2, 13, "errorInfo2 0x01", ""},
    {2, 9, "errorInfo2 0x02 or 0x08", ""},
    {3, 27, "errorInfo2 0x04", ""},
    {2, 20, "errorInfo2 0x10", ""},
    {2, 22, "errorInfo2 0x40", ""},
    {3, 99, "an error status without an error bit", ""},
    {2, 21, "not a printer of the family", ""},
    {2, 15, "the loaded media does not match the page's", ""},
    {2, 16, "the loaded media type does not match", "type 9"},
    {2, 26, "communication failure", ""},
    {3, 28, "port failure", ""},
    {3, 29, "system error", ""},
    {3, 0, "stopped without a notification",
     "cancelled, or the application cannot be reached"},
    {4, 0, "printer gone", ""},
};

}  // namespace

StateWords DescribeState(int stateClass, int stateCode) {
    for (const StateEntry& entry : STATES)
        if (entry.stateClass == stateClass && entry.stateCode == stateCode)
            return {stateClass, stateCode, entry.name, entry.text};
    return {stateClass, stateCode, "", ""};
}

std::string StateLine(const StateWords& state) {
    std::string line = Format("state (%d, %d)", state.stateClass, state.stateCode);
    if (!state.name.empty()) line += ": " + state.name;
    if (!state.text.empty()) line += " (" + state.text + ")";
    return line;
}

std::string StateJson(const StateWords& state) {
    return Format("{\"pair\":[%d,%d],\"name\":", state.stateClass, state.stateCode) +
           JsonString(state.name) + ",\"text\":" + JsonString(state.text) + "}";
}

bool IsStateNotification(std::uint32_t code) {
    const std::uint32_t stateClass = code >> 16;
    return stateClass >= 2 && stateClass <= 4 && code != NotifySystemError &&
           code != NotifyJobEnd;
}

StateWords NotifiedState(std::uint32_t code) {
    return DescribeState(static_cast<int>(code >> 16),
                         static_cast<int>(static_cast<std::int16_t>(code & 0xFFFF)));
}

std::string NotifyText(std::uint32_t code) {
    switch (code) {
        case NotifyJobStart: return "NotifyJobStart";
        case NotifyMediaSettings: return "NotifyMediaSettings";
        case NotifyProgress: return "NotifyProgress";
        case NotifyMediaStatus: return "NotifyMediaStatus";
        case NotifySystemError: return "NotifySystemError";
        case NotifyJobEnd: return "NotifyJobEnd";
        case NotifyConnect: return "NotifyConnect";
        case NotifyPrinting: return "NotifyPrinting";
        case NotifyWaiting: return "NotifyWaiting";
        case NotifyPrinterNotice: return "NotifyPrinterNotice";
        default: return StateLine(NotifiedState(code));
    }
}

const char* ReplyText(std::uint32_t state) {
    switch (state) {
        case REPLY_CONTINUE: return "continue";
        case REPLY_PAUSE: return "pause";
        case REPLY_CANCEL: return "cancel";
        default: return "?";
    }
}

bool PacketState(const StatusPacket& packet, const PageChecks& page, StateWords& state) {
    if (packet.statusType != STATUS_REPLY && packet.statusType != STATUS_ERROR) return false;
    PortSession session{};
    session.jobInfo.mediaWidth = page.mediaWidth;
    session.jobInfo.mediaType = page.mediaType;
    session.jobInfo.mediaExtra = page.mediaExtra;
    session.jobInfo.checkFlags = page.checkFlags;
    DecodeStatus(session, packet);
    state = DescribeState(session.stateClass, session.stateCode);
    return true;
}

std::string DescribePacket(const StatusPacket& packet, const PageChecks& page) {
    const std::string media = Format("media %u mm type 0x%02x extra 0x%02x", packet.mediaWidth,
                                     packet.mediaType, packet.mediaExtra);
    const unsigned phase = (packet.phaseNumberHigh << 8) | packet.phaseNumberLow;
    StateWords state{};
    if (PacketState(packet, page, state)) {
        const std::string decoded = state.stateClass == 1 ? "ready" : StateLine(state);
        return Format("%s: %s, %s",
                      packet.statusType == STATUS_REPLY ? "status reply" : "error status",
                      decoded.c_str(), media.c_str());
    }
    switch (packet.statusType) {
        case STATUS_PRINTING_ENDED: return "printing ended";
        case STATUS_GONE_A:
        case STATUS_GONE_B: return Format("printer gone (status type %u)", packet.statusType);
        case STATUS_NOTIFICATION: return Format("notification %u", packet.notificationNumber);
        case STATUS_PHASE_CHANGE:
            return Format("phase change: %s (%u, %u)",
                          packet.phaseType == 1 ? "printing" : "waiting", packet.phaseType, phase);
        default: return Format("status type %u", packet.statusType);
    }
}
