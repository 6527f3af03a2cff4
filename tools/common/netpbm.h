// Netpbm pictures in their documented formats: PBM (P1, P4) and PGM (P2, P5)
// in, PBM (P4) out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/picture.h"

// Largest width and height taken, so that a bad header cannot ask for gigabytes.
constexpr std::uint32_t NETPBM_MAX_SIDE = 65535;

// The first picture of a PBM or PGM file, in grey (a PBM's dots black or
// white). False with a one-line reason on bad input.
bool ReadNetpbm(const std::vector<std::uint8_t>& file, GreyPicture& picture, std::string& error);

std::vector<std::uint8_t> PbmBytes(const Picture& picture);
