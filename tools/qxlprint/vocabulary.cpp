// Display names: the states' as the monitor's state table has them.
#include "qxlprint/vocabulary.h"

#include "common/text.h"
#include "core/port_session.h"
#include "core/printer_states.h"
#include "core/statmon_interface.h"
#include "qxlprint/transcript.h"
#include "status/status.h"

StateWords DescribeState(int stateClass, int stateCode) {
    const PrinterState* state =
        FindPrinterState(static_cast<i16>(stateClass), static_cast<i16>(stateCode));
    if (state == nullptr) return {stateClass, stateCode, "", ""};
    return {stateClass, stateCode, state->name, state->text};
}

std::string StateLine(const StateWords& state) {
    std::string line = Format("state (%d, %d)", state.stateClass, state.stateCode);
    if (!state.name.empty()) line += ": " + state.name;
    return line;
}

std::string StateJson(const StateWords& state) {
    return Format("{\"pair\":[%d,%d],\"name\":", state.stateClass, state.stateCode) +
           JsonString(state.name) + ",\"text\":" + JsonString(state.text) + "}";
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
    session.job.jobInfo.mediaWidth = page.mediaWidth;
    session.job.jobInfo.mediaType = page.mediaType;
    session.job.jobInfo.mediaExtra = page.mediaExtra;
    session.job.jobInfo.checkFlags = page.checkFlags;
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
                          packet.phaseType == PHASE_PRINTING ? "printing" : "waiting",
                          packet.phaseType, phase);
        default: return Format("status type %u", packet.statusType);
    }
}
