// Where a printer's driver keeps the settings the monitor and the status
// monitor application read at every job, and how a setting is read.
#pragma once

#include <windows.h>

#include <cstdio>

#include "core/platform.h"

// The printer's key, whose "Printer Driver" value names its driver, and the
// driver's settings key; each formatted with the name.
#define QXL_PRINTERS_KEY "System\\CurrentControlSet\\control\\Print\\Printers"
inline constexpr char PRINTERS_KEY[] = QXL_PRINTERS_KEY;
inline constexpr char PRINTERS_KEY_FORMAT[] = QXL_PRINTERS_KEY "\\%s";
#undef QXL_PRINTERS_KEY
inline constexpr char SETTINGS_KEY_FORMAT[] = "SOFTWARE\\Quorvin\\Tavrik\\Driver\\3.0\\%s";

// Opens HKLM\<format with name> for reading; false when the path does not fit
// a registry path or the key is missing.
inline bool OpenSettingsKey(const char* format, const char* name, HKEY& key) {
    char path[512];
    int length = std::snprintf(path, sizeof path, format, name != nullptr ? name : "");
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return false;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
}

// A setting is a 4-byte value whatever its type; any other size, or a failed
// read, keeps the default rather than part of the bytes.
inline void ReadFourByteSetting(HKEY key, const char* name, u32& value) {
    DWORD read = 0;
    DWORD size = sizeof read;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size) ==
            ERROR_SUCCESS &&
        size == sizeof read) {
        value = read;
    }
}
