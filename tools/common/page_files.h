// Writes the drawn pages of a stream as picture files, page-1.png (or .pbm) on.
#pragma once

#include <string>

#include "common/render.h"

enum class PictureFormat { Png, Pbm };

// True when this build can write the format (PNG needs libpng: native builds).
bool CanWrite(PictureFormat format);

// One file per drawn page in dir (made if missing); report gets a line per
// file. False with a one-line reason at the first failure.
bool WritePageFiles(const std::string& dir, const Rendering& rendering, PictureFormat format,
                    std::string& report, std::string& error);

// The lines that tell what the printer did: pages, resets, notes.
std::string DescribeRendering(const Rendering& rendering);
