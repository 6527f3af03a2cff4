// Registers the network print server port monitor stand-in with the spooler
// of the Wine prefix, and chooses which ports it reports.
#pragma once

#include <string>

// Registers nxportmon.dll (next to the test program, or at dllPath) once;
// false on failure.
bool RegisterNetworkPortMonitor(const std::string& dllPath = "");
// Ports the stand-in reports from now on in this process (comma-separated).
void SetNetworkPorts(const std::string& ports);
// Makes the stand-in's EnumPorts fail (or succeed again).
void SetNetworkEnumFails(bool fail);
// The directory of the running test program, with a trailing backslash.
std::string ProgramDirectory();
