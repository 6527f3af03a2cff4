// DecodeStatus: a status reply or error status turned into the state pair.
#include "status/status.h"

namespace {

struct BitState {
    u8 bit;
    i16 stateClass;
    i16 stateCode;
};

// errorInfo1, lowest bit first: the first bit set decides.
constexpr BitState ERROR_INFO1[] = {
    {ERROR1_NO_MEDIA, STATE_ERROR, CODE_NO_MEDIA},
    {ERROR1_END_OF_MEDIA, STATE_ERROR, CODE_MEDIA_ENDED},
    {ERROR1_CUTTER_JAM, STATE_FATAL, CODE_CUTTER_JAM},
    {ERROR1_BATTERIES_WEAK, STATE_ERROR, CODE_BATTERIES_WEAK},
    {ERROR1_PRINTER_IN_USE, STATE_ERROR, CODE_PRINTER_IN_USE},
    {ERROR1_SWITCHED_OFF, STATE_GONE, 0},
    {ERROR1_POWER_FAULT, STATE_FATAL, CODE_POWER_FAULT},
    {ERROR1_LABELS_JAMMED, STATE_ERROR, CODE_LABELS_JAMMED},
};

bool BadStatus(PortSession& session, i16 stateClass, i16 stateCode) {
    SetState(session, stateClass, stateCode);
    return false;
}

}  // namespace

bool DecodeStatus(PortSession& session, const StatusPacket& packet) {
    SetState(session, STATE_READY, 0);

    if (packet.printerId[0] != PRINTER_ID[0] || packet.printerId[1] != PRINTER_ID[1])
        return BadStatus(session, STATE_ERROR, CODE_WRONG_PRINTER);

    for (const BitState& entry : ERROR_INFO1) {
        if ((packet.errorInfo1 & entry.bit) != 0)
            return BadStatus(session, entry.stateClass, entry.stateCode);
    }

    // Two values of errorInfo2 are compared whole (a communication error, the
    // communication buffer full), so 0x0C matches neither of them and falls
    // through to the bits above.
    u8 info2 = packet.errorInfo2;
    if (info2 & ERROR2_REPLACE_MEDIA) return BadStatus(session, STATE_ERROR, CODE_REPLACE_MEDIA);
    if (info2 & ERROR2_EXPANSION_BUFFER_FULL)
        return BadStatus(session, STATE_ERROR, CODE_BUFFER_FULL);
    if (info2 == ERROR2_COMM_ERROR) return BadStatus(session, STATE_FATAL, CODE_COMM_ERROR);
    if (info2 == ERROR2_BUFFER_FULL) return BadStatus(session, STATE_ERROR, CODE_BUFFER_FULL);
    if (info2 & ERROR2_COVER_OPEN) return BadStatus(session, STATE_ERROR, CODE_COVER_OPEN);
    if (info2 & ERROR2_SWITCHED_OFF) return BadStatus(session, STATE_GONE, 0);
    if (info2 & ERROR2_MEDIA_NOT_FED) return BadStatus(session, STATE_ERROR, CODE_MEDIA_NOT_FED);

    if (packet.statusType == STATUS_ERROR)
        return BadStatus(session, STATE_FATAL, CODE_ERROR_STATUS);
    if (packet.mediaWidth == 0) return BadStatus(session, STATE_ERROR, CODE_NO_MEDIA);

    const JobInfoBlock& job = session.job.jobInfo;
    u8 checks = static_cast<u8>(job.checkFlags & 0xFF);
    if ((checks & JIB_CHECK_MEDIA_TYPE) && packet.mediaType != job.mediaType)
        return BadStatus(
            session, STATE_ERROR,
            job.mediaType == MEDIA_TYPE_KIND_ONLY ? CODE_MEDIA_TYPE_9 : CODE_MEDIA_MISMATCH);
    if ((checks & JIB_CHECK_MEDIA_WIDTH) && packet.mediaWidth != job.mediaWidth)
        return BadStatus(session, STATE_ERROR, CODE_MEDIA_MISMATCH);
    if ((checks & JIB_CHECK_MEDIA_EXTRA) && packet.mediaExtra != job.mediaExtra)
        return BadStatus(session, STATE_ERROR, CODE_MEDIA_MISMATCH);
    return true;
}
