// The fields of a job information block and a spool record header, by name.
#pragma once

#include <cstdint>
#include <string>

// One line per field of the 92-byte block at block, each after indent.
std::string JobInfoFields(const std::uint8_t* block, const char* indent);

// One line per field of the 58-byte record header at header.
std::string SpoolHeaderFields(const std::uint8_t* header, const char* indent);
