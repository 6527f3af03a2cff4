// Faults where the DLL meets the system, through its import table: its
// allocations (GlobalAlloc, LocalAlloc, malloc, calloc, realloc) counted as
// one sequence of which the n-th fails, its file calls counted per function
// of which the k-th fails, the start of the status monitor application, and
// the spooler's EnumPorts. EnumPorts is answered from one real answer taken
// once: Wine's own keeps memory at every call, which would hide the monitor's.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// Installs the counting hooks in module once; false when it cannot.
bool InstallSystemHooks(HMODULE module);

// Resets the counts and arms the faults of one job (0: none).
void ArmSystemFaults(int allocationFailsAt, const std::string& fileFunction, int fileFailsAt,
                     bool processStartFails, bool enumPortsFails);

// What the DLL called since the last arming.
size_t AllocationsCounted();
std::map<std::string, size_t> FileCallsCounted();
