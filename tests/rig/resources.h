// What a process holds, for the tests that check a job gives everything back.
// A program that links this has a temporary directory of its own (TMP and
// TEMP), so that it counts only the temporary files of its own jobs.
#pragma once

#include <cstddef>
#include <string>

struct Resources {
    size_t handles = 0;
    size_t heapBytes = 0;  // busy bytes of every heap of the process
    size_t threads = 0;
    size_t privateBytes = 0;
    size_t temporaryFiles = 0;  // the monitor's QXTF*.tmp in the temporary directory
};

Resources MeasureResources();
size_t ThreadCount();    // this process's threads, alone (cheap)
size_t HeapBusyBytes();  // busy bytes of every heap, alone
size_t PrivateBytes();   // the commit charge, alone

// The monitor's temporary files now in the temporary directory.
size_t TemporaryFileCount();

// Whether a named object of the session still exists.
bool MappingExists(const std::string& name);
bool MutexExists(const std::string& name);
