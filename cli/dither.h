// Grey to the display's black and white.
#pragma once

#include "cli/picture.h"

#include <cstdint>
#include <vector>

// `grey` is 120 x 32 luminance values row by row, 0 black to 255 white. A
// pixel darker than `threshold` is dark; dithering spreads the difference
// (error diffusion) or varies the threshold around it (Bayer).
DisplayImageBytes BlackAndWhite(const std::vector<std::uint8_t>& grey, int threshold,
                                Dithering dithering);
