// The write path: WritePort's data handling, the replay of a rebuilt job, and
// the recovery after the scanner failed.
#pragma once

#include <windows.h>

#include "core/port_session.h"

// The spooler's WritePort: the data of a job, as the spooler hands it over.
WinBool QXL_WINAPI WritePort(Handle port, u8* buffer, u32 size, u32* written);

// A temporary file with the monitor's prefix in the system's temporary
// directory, for reading and writing, not shared, gone when closed. path names
// it and is made here when empty. GetTempFileNameA creates the file, so one
// that cannot then be opened is removed again (the last error kept).
HANDLE OpenTemporaryFile(char path[SPOOL_PATH_SIZE]);
inline constexpr char TEMPORARY_FILE_PREFIX[] = "QXTF";

// ReplayWrite: WritePort without the status monitor launch and the spool diversion.
bool ReplayWrite(PortSession& session, u8* buffer, u32 length, u32& written);

// At job end: scans what still waits in the carry buffer as the end of the
// stream, so that a last page end behind unknown bytes is still printed.
void FlushCarry(PortSession& session);
