// What the monitor passes to and relies on from the port monitor underneath:
// its private last errors, the control requests it answers, the job timeouts.
#pragma once

#include "core/monitor_table.h"

constexpr u32 PORTERR_FATAL = 0x20000001;
constexpr u32 PORTERR_GONE = 0x20000002;
constexpr u32 ERROR_COUNTER_TIMEOUT_CODE = 1121;  // no data has arrived yet

// GetPrinterDataFromPort control ids.
constexpr u32 CONTROL_NETWORK_QUEUED = 0x1B0400;  // out: u32 bytes waiting
constexpr u32 CONTROL_NETWORK_VALUE = 0x1B0408;   // in: u32 value
constexpr u32 CONTROL_SERIAL_STATUS = 0x1B2000;   // status word in the returned size
constexpr u32 CONTROL_USB_STATUS = 0x220014;      // out: u32 status, bits 0 and 1 = present
constexpr u32 CONTROL_PORT_VALUE = 0x220034;      // in: u32 value, every port but network
constexpr u32 CONTROL_PAR_QUERY = 0x160004;       // IOCTL_PAR_QUERY_INFORMATION, out: status byte

// The value passed to the port monitor around a page's status exchanges: this
// one before them, and after them PORT_VALUE_DATA (network ports: this again).
constexpr u32 PORT_VALUE_STATUS = 100;
constexpr u32 PORT_VALUE_DATA = 300;

// Communication timeouts set on the port at every job start.
constexpr CommTimeouts JOB_COMM_TIMEOUTS = {200, 1, 200, 1, 5000};

// The network print server's port monitor, told apart by EnumPorts level 2.
inline constexpr char NETWORK_PORT_MONITOR_NAME[] = "Quorvin NX-4400 Port";
