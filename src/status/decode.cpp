// DecodeStatus: a status reply or error status turned into the state pair.
#include "status/status.h"

namespace {

struct BitState {
    u8 bit;
    i16 stateClass;
    i16 stateCode;
};

// errorInfo1, lowest bit first: the first bit set decides. Bit 5 is the
// printer switched off.
constexpr BitState ERROR_INFO1[] = {
    {0x01, STATE_ERROR, CODE_NO_MEDIA},       {0x02, STATE_ERROR, CODE_MEDIA_ENDED},
    {0x04, STATE_FATAL, CODE_CUTTER_JAM},     {0x08, STATE_ERROR, CODE_BATTERIES_WEAK},
    {0x10, STATE_ERROR, CODE_PRINTER_IN_USE}, {0x20, STATE_GONE, 0},
    {0x40, STATE_FATAL, CODE_POWER_FAULT},    {0x80, STATE_ERROR, CODE_LABELS_JAMMED},
};

bool BadStatus(PortSession& session, i16 stateClass, i16 stateCode) {
    SetState(session, stateClass, stateCode);
    return false;
}

}  // namespace

bool DecodeStatus(PortSession& session, const StatusPacket& packet) {
    SetState(session, STATE_READY, 0);

    if (packet.printerId[0] != 0x30 || packet.printerId[1] != 0x35)
        return BadStatus(session, STATE_ERROR, CODE_WRONG_PRINTER);

    for (const BitState& entry : ERROR_INFO1) {
        if ((packet.errorInfo1 & entry.bit) != 0) return BadStatus(session, entry.stateClass, entry.stateCode);
    }

    // Two values of errorInfo2 are compared whole (a communication error, the
    // communication buffer full), so 0x0C matches neither of them and falls
    // through to the bits above.
    u8 info2 = packet.errorInfo2;
    if (info2 & 0x01) return BadStatus(session, STATE_ERROR, CODE_REPLACE_MEDIA);
    if (info2 & 0x02) return BadStatus(session, STATE_ERROR, CODE_BUFFER_FULL);  // expansion buffer
    if (info2 == 0x04) return BadStatus(session, STATE_FATAL, CODE_COMM_ERROR);
    if (info2 == 0x08) return BadStatus(session, STATE_ERROR, CODE_BUFFER_FULL);
    if (info2 & 0x10) return BadStatus(session, STATE_ERROR, CODE_COVER_OPEN);
    if (info2 & 0x20) return BadStatus(session, STATE_GONE, 0);
    if (info2 & 0x40) return BadStatus(session, STATE_ERROR, CODE_MEDIA_NOT_FED);

    if (packet.statusType == STATUS_ERROR) return BadStatus(session, STATE_FATAL, CODE_ERROR_STATUS);
    if (packet.mediaWidth == 0) return BadStatus(session, STATE_ERROR, CODE_NO_MEDIA);

    const JobInfoBlock& job = session.job.jobInfo;
    u8 checks = static_cast<u8>(job.checkFlags & 0xFF);
    if ((checks & JIB_CHECK_MEDIA_TYPE) && packet.mediaType != job.mediaType)
        return BadStatus(session, STATE_ERROR, job.mediaType == 9 ? CODE_MEDIA_TYPE_9 : CODE_MEDIA_MISMATCH);
    if ((checks & JIB_CHECK_MEDIA_WIDTH) && packet.mediaWidth != job.mediaWidth)
        return BadStatus(session, STATE_ERROR, CODE_MEDIA_MISMATCH);
    if ((checks & JIB_CHECK_MEDIA_EXTRA) && packet.mediaExtra != job.mediaExtra)
        return BadStatus(session, STATE_ERROR, CODE_MEDIA_MISMATCH);
    return true;
}
