// What qxlsetup needs to know about the machine and the files on it.
#pragma once

#include <windows.h>

#include <string>

enum DllState { DLL_MISSING, DLL_WRONG_ARCH, DLL_PRESENT };

// The system directory, where the spooler loads monitors from.
std::string SystemDirectory();
// SystemDirectory() plus qxlmon.dll.
std::string SystemDllPath();
// False only when the token says so; without UAC the spooler's access check decides.
bool IsElevated();
// True for the x86 build running on 64-bit Windows, whose spooler it cannot serve.
bool RunsUnderWow64();
// Whether a file is there and is a PE image for this build's architecture.
DllState ProbeDll(const std::string& path);
// "1.2.3.0" from the file's version resource; empty without one.
std::string FileVersionText(const std::string& path);
// "error 5: Access is denied." from the system's message table.
std::string Win32ErrorText(DWORD error);
