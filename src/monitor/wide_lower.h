// A port monitor initialised with InitializePrintMonitor2, seen through the
// 13-slot table that the rest of the monitor calls below. Each slot is an
// adapter: the handle it is given is the record below, which holds the port
// monitor's table and its own handle for the port.
#pragma once

#include "core/monitor2_table.h"
#include "core/port_session.h"

struct WideLowerPort {
    Monitor2Table lower;  // the port monitor's table; slots past its cbSize empty
    Handle port;          // what the port monitor's OpenPort returned
    // The spooler's own printer name and document information of the job
    // start in progress: the port monitor gets them, not the ANSI copies.
    WideChar* jobPrinterName;
    u8* jobDocInfo;
};

// The port monitor's table as it arrived, made whole: slots past its cbSize
// (a table made for an older spooler) are null.
Monitor2Table WholeMonitor2Table(const Monitor2Table& arrived);

// The adapters over lower. A slot is null where lower's is (so a missing
// operation is refused as it is for a 13-slot port monitor), except ClosePort,
// which always frees the record.
MonitorTable WideLowerTable(const Monitor2Table& lower);

// What OpenWideLowerPort opens: the port monitor's table and handle, and the
// spooler's own wide port name.
struct WideOpen {
    const Monitor2Table* lower;
    Handle lowerMonitorHandle;
    WideChar* portName;
};

// A LowerOpen (monitor/monitor_ops.h) with a WideOpen as its context: opens
// the port on the port monitor and makes the record below, which the port
// record's lowerPort then is.
bool OpenWideLowerPort(void* context, PortSession& record, char* portName);
