// The rebuild of a spooled multi-copy job from its spool file into a file.
#pragma once

#include <windows.h>

// Reads the spool file (positioned at its start) whole and writes the rebuilt
// job to destination (empty, writable) as it is produced. True when the whole
// job was written; false when the file is not a valid spooled job, memory
// cannot be had, or a read or write fails: the job is then not to be printed.
// Both files stay open.
bool RebuildMultiCopyJob(HANDLE spoolFile, HANDLE destination);
