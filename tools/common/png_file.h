// PNG files through libpng (native builds only): one-bit pictures written,
// any picture read in grey.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/picture.h"

bool WritePng(const std::string& path, const Picture& picture, std::string& error);

// A PNG file in grey: colour by its luminance, transparent parts over white.
// False with a one-line reason; pictures over 65535 pixels a side are refused.
bool ReadPng(const std::vector<std::uint8_t>& file, GreyPicture& picture, std::string& error);
