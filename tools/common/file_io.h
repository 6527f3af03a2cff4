// Whole-file reads and writes for the command-line tools, with one-line reasons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False with "cannot read PATH: reason" on failure. An empty file is read as
// empty: whether that is bad input is the caller's business.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

// "-" writes to standard output (in binary).
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

// Makes the directory unless it exists.
bool MakeDirectory(const std::string& path, std::string& error);

// The names of the files in a directory (none when it cannot be read).
std::vector<std::string> FileNames(const std::string& dir);

// Removes a file; false with "cannot remove PATH: reason".
bool RemoveFile(const std::string& path, std::string& error);

// Standard output in binary, so that text lines end in LF and bytes pass unchanged.
void BinaryStdout();
