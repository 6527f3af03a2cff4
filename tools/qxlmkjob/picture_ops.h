// A grey picture made into a label's dots: turned, scaled keeping its
// aspect, and made black and white by dithering or a threshold.
#pragma once

#include <cstdint>

#include "common/picture.h"

// Turned clockwise by degrees: 0, 90, 180 or 270.
GreyPicture Rotated(const GreyPicture& picture, std::uint32_t degrees);

// width pixels wide, as high as keeps its aspect (at least 1): each pixel the
// mean of the ones it covers, or the nearest one when it is made larger.
GreyPicture Scaled(const GreyPicture& picture, std::uint32_t width);

// Floyd-Steinberg error diffusion: grey comes out as a density of black dots.
Picture Dithered(const GreyPicture& picture);

// Black where a pixel is at least percent dark.
Picture Thresholded(const GreyPicture& picture, std::uint32_t percent);
