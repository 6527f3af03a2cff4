// Every call to the port monitor underneath goes through these, with the
// record's copy of its table and lowerPort. The copy is made whole once, when
// the port is opened: a slot the monitor calls that the port monitor left
// empty then fails with ERROR_NOT_SUPPORTED and a count of 0, and the
// caller's ordinary failure path takes over.
#pragma once

#include "core/port_session.h"

// The table as the record keeps it: the called slots that came empty answer
// ERROR_NOT_SUPPORTED, except SetPortTimeOuts, which then has nothing to set.
// The slots the monitor never calls stay as they came.
MonitorTable WholeLowerTable(const MonitorTable& arrived);

// Judged once, at the port's open, from the table as it arrived: a job needs
// the operations its kind of port is driven through (writes and reads on
// every port, and the control requests on network and serial ports, whose
// readiness is known only through them).
bool LowerTableCanRunJobs(const MonitorTable& arrived, i16 portType);

// OpenPort of the 13-slot table: sets lowerPort, which is also the port
// monitor's own handle.
bool LowerOpenPort(PortSession& session, char* portName);
// The job start's two calls; their failures are the job start's to trace.
bool LowerStartDocPort(PortSession& session, char* printerName, u32 jobId, u32 level, u8* docInfo);
bool LowerSetPortTimeOuts(PortSession& session, CommTimeouts* timeouts);

bool LowerWritePort(PortSession& session, const u8* data, u32 size, u32* written);
bool LowerReadPort(PortSession& session, u8* buffer, u32 size, u32* read);
bool LowerGetPrinterData(PortSession& session, u32 controlId, char* valueName, const void* in,
                         u32 inSize, void* out, u32 outSize, u32* returned);
bool LowerEndDocPort(PortSession& session);
bool LowerClosePort(PortSession& session);
