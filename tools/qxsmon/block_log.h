// The stand-in's reading of the notifications' shared-memory blocks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Whether a notification of this code carries a block.
bool CarriesBlock(std::uint32_t code);

// Reads the block of that number by name, as large as its section is, into
// bytes; the log's words for it: "block NAME missing" or "block NAME SIZE HEXBYTES".
std::string ReadBlock(std::uint32_t number, std::vector<unsigned char>& bytes);
