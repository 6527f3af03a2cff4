// PNG files of one-bit pictures, written with libpng (native builds only).
#pragma once

#include <string>

#include "common/picture.h"

bool WritePng(const std::string& path, const Picture& picture, std::string& error);
