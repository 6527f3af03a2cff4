// Every call to the port monitor underneath goes through these, with the
// record's copy of its table and lowerPort. A port monitor may leave any slot
// of its table empty: such a call fails with ERROR_NOT_SUPPORTED and a count
// of 0, and the caller's ordinary failure path takes over.
#pragma once

#include "core/port_session.h"

WinBool LowerWritePort(PortSession& session, const u8* data, u32 size, u32* written);
WinBool LowerReadPort(PortSession& session, u8* buffer, u32 size, u32* read);
WinBool LowerGetPrinterData(PortSession& session, u32 controlId, char* valueName, const void* in,
                            u32 inSize, void* out, u32 outSize, u32* returned);
WinBool LowerEndDocPort(PortSession& session);
WinBool LowerClosePort(PortSession& session);

// A job needs the operations its kind of port is driven through: writes and
// reads on every port, and the control requests on network and serial ports,
// whose readiness is known only through them.
bool LowerTableCanRunJobs(const PortSession& session);
