// The printer's 32-byte status packet and the state pair vocabulary.
#pragma once

#include "core/platform.h"

#pragma pack(push, 1)
struct StatusPacket {
    u8 header[3];     // 0x80 0x20 0x42
    u8 printerId[2];  // '0' '5'
    u8 reserved5[3];
    u8 errorInfo1;
    u8 errorInfo2;
    u8 mediaWidth;
    u8 mediaType;
    u8 reserved12[5];
    u8 mediaExtra;
    u8 statusType;
    u8 phaseType;
    u8 phaseNumberHigh;  // phase number is big-endian
    u8 phaseNumberLow;
    u8 notificationNumber;
    u8 reserved23[9];
};
#pragma pack(pop)

static_assert(sizeof(StatusPacket) == 32);

constexpr u32 STATUS_PACKET_SIZE = 32;
constexpr u8 STATUS_HEADER[3] = {0x80, 0x20, 0x42};
// The printer model the monitor drives reports this id.
constexpr u8 PRINTER_ID[2] = {'0', '5'};

// statusType values
constexpr u8 STATUS_REPLY = 0;
constexpr u8 STATUS_PRINTING_ENDED = 1;
constexpr u8 STATUS_ERROR = 2;
constexpr u8 STATUS_GONE_A = 3;
constexpr u8 STATUS_GONE_B = 4;
constexpr u8 STATUS_NOTIFICATION = 5;
constexpr u8 STATUS_PHASE_CHANGE = 6;

// phaseType of a phase change: the printer takes data, or prints what it has
// (1, and 3 on the way through a page), in which the job waits for it.
constexpr u8 PHASE_RECEIVING = 0;
constexpr u8 PHASE_PRINTING = 1;
constexpr u8 PHASE_PRINTING_ON = 3;
constexpr bool IsPrintingPhase(u8 phaseType) {
    return phaseType == PHASE_PRINTING || phaseType == PHASE_PRINTING_ON;
}

// errorInfo1 bits, lowest first: the first bit set decides.
constexpr u8 ERROR1_NO_MEDIA = 0x01;
constexpr u8 ERROR1_END_OF_MEDIA = 0x02;
constexpr u8 ERROR1_CUTTER_JAM = 0x04;
constexpr u8 ERROR1_BATTERIES_WEAK = 0x08;
constexpr u8 ERROR1_PRINTER_IN_USE = 0x10;
constexpr u8 ERROR1_SWITCHED_OFF = 0x20;
constexpr u8 ERROR1_POWER_FAULT = 0x40;
constexpr u8 ERROR1_LABELS_JAMMED = 0x80;
// errorInfo2: bits, and two values compared whole.
constexpr u8 ERROR2_REPLACE_MEDIA = 0x01;
constexpr u8 ERROR2_EXPANSION_BUFFER_FULL = 0x02;
constexpr u8 ERROR2_COMM_ERROR = 0x04;   // the whole byte
constexpr u8 ERROR2_BUFFER_FULL = 0x08;  // the whole byte
constexpr u8 ERROR2_COVER_OPEN = 0x10;
constexpr u8 ERROR2_SWITCHED_OFF = 0x20;
constexpr u8 ERROR2_MEDIA_NOT_FED = 0x40;

// State classes of the pair (stateClass, stateCode).
constexpr i16 STATE_NONE = 0;
constexpr i16 STATE_READY = 1;
constexpr i16 STATE_ERROR = 2;
constexpr i16 STATE_FATAL = 3;
constexpr i16 STATE_GONE = 4;

// The codes of the pairs; what each means is in core/printer_states.
constexpr i16 CODE_TIMED_OUT = -1;       // (2, -1): a read that only timed out
constexpr i16 CODE_NO_MEDIA = 1;         // (2, 1)
constexpr i16 CODE_MEDIA_ENDED = 5;      // (2, 5)
constexpr i16 CODE_LABELS_JAMMED = 8;    // (2, 8)
constexpr i16 CODE_BUFFER_FULL = 9;      // (2, 9)
constexpr i16 CODE_CUTTER_JAM = 12;      // (3, 12)
constexpr i16 CODE_REPLACE_MEDIA = 13;   // (2, 13)
constexpr i16 CODE_MEDIA_MISMATCH = 15;  // (2, 15)
constexpr i16 CODE_MEDIA_TYPE_9 = 16;    // (2, 16)
constexpr i16 CODE_BATTERIES_WEAK = 19;  // (2, 19)
constexpr i16 CODE_COVER_OPEN = 20;      // (2, 20)
constexpr i16 CODE_WRONG_PRINTER = 21;   // (2, 21)
constexpr i16 CODE_MEDIA_NOT_FED = 22;   // (2, 22)
constexpr i16 CODE_POWER_FAULT = 24;     // (3, 24)
constexpr i16 CODE_COMM_FAILURE = 26;    // (2, 26)
constexpr i16 CODE_COMM_ERROR = 27;      // (3, 27)
constexpr i16 CODE_PORT_FATAL = 28;      // (3, 28)
constexpr i16 CODE_SYSTEM_ERROR = 29;    // (3, 29)
constexpr i16 CODE_PRINTER_IN_USE = 49;  // (2, 49)
constexpr i16 CODE_ERROR_STATUS = 99;    // (3, 99)
