// Display names. The meaning of an error bit to a user is the application's
// business; these say where each state comes from.
#include "qxlprint/vocabulary.h"

#include "common/text.h"
#include "core/port_session.h"
#include "core/statmon_interface.h"
#include "status/status.h"

namespace {

struct StateEntry {
    int stateClass;
    int stateCode;
    const char* name;
};

constexpr StateEntry STATES[] = {
    {2, 1, "no media (errorInfo1 0x01, or no media loaded)"},
    {2, 5, "cover open (errorInfo1 0x02)"},
    {3, 12, "errorInfo1 0x04"},
    {2, 19, "errorInfo1 0x08"},
    {2, 49, "errorInfo1 0x10"},
    {3, 24, "errorInfo1 0x40"},
    {2, 8, "errorInfo1 0x80"},
    {2, 13, "errorInfo2 0x01"},
    {2, 9, "errorInfo2 0x02 or 0x08"},
    {3, 27, "errorInfo2 0x04"},
    {2, 20, "errorInfo2 0x10"},
    {2, 22, "errorInfo2 0x40"},
    {3, 99, "an error status without an error bit"},
    {2, 21, "not a printer of the family"},
    {2, 15, "the loaded media does not match the page's"},
    {2, 16, "the loaded media type does not match (type 9)"},
    {2, 26, "communication failure"},
    {3, 28, "port failure"},
    {3, 29, "system error"},
    {3, 0, "stopped without a notification: cancelled, or the application cannot be reached"},
    {4, 0, "printer gone"},
};

}  // namespace

std::string StateText(int stateClass, int stateCode) {
    for (const StateEntry& entry : STATES)
        if (entry.stateClass == stateClass && entry.stateCode == stateCode) return entry.name;
    return "";
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
        default: break;
    }
    const int stateClass = static_cast<int>(code >> 16);
    const int stateCode = static_cast<int>(static_cast<std::int16_t>(code & 0xFFFF));
    std::string name = StateText(stateClass, stateCode);
    return Format("state (%d, %d)%s%s", stateClass, stateCode, name.empty() ? "" : ": ",
                  name.c_str());
}

const char* ReplyText(std::uint32_t state) {
    switch (state) {
        case REPLY_CONTINUE: return "continue";
        case REPLY_PAUSE: return "pause";
        case REPLY_CANCEL: return "cancel";
        default: return "?";
    }
}

std::string DescribePacket(const StatusPacket& packet) {
    const std::string media = Format("media %u mm type 0x%02x extra 0x%02x", packet.mediaWidth,
                                     packet.mediaType, packet.mediaExtra);
    const unsigned phase = (packet.phaseNumberHigh << 8) | packet.phaseNumberLow;
    switch (packet.statusType) {
        case STATUS_REPLY:
        case STATUS_ERROR: {
            // The monitor's own decode, without the page's media checks.
            PortSession session{};
            const bool good = DecodeStatus(session, packet);
            std::string state =
                good ? "ready"
                     : Format("state (%d, %d) %s", session.stateClass, session.stateCode,
                              StateText(session.stateClass, session.stateCode).c_str());
            return Format("%s: %s, %s",
                          packet.statusType == STATUS_REPLY ? "status reply" : "error status",
                          state.c_str(), media.c_str());
        }
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
