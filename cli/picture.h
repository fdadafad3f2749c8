// Any common picture to the display's 120 x 32 black and white.
#pragma once

#include "display/image.h"

#include <string>

enum class Fitting {
    Fit,     // scaled to fit, aspect kept, centred on white
    Fill,    // scaled to cover, centred, cropped
    Stretch, // scaled to 120 x 32 whatever its aspect
};

enum class Dithering { None, FloydSteinberg, Atkinson, Bayer };

struct ConversionOptions {
    Fitting fitting = Fitting::Fit;
    int threshold = 128; // 0..255 on luminance; darker than this is dark
    Dithering dithering = Dithering::None;
    bool invert = false;
};

// PNG, JPEG, GIF, BMP of any depth and size, PNM, TGA. A 574-byte file of
// the bitmap tool's kind is read as that tool reads it (then only invert
// applies). False, with the reason in `why`, when the file cannot be read
// or decoded, or claims more than 64 megapixels; the reason is a phrase to
// follow the file's name, e.g. "is truncated".
bool LoadPicture(const std::string& path, const ConversionOptions& options,
                 DisplayImageBytes& image, std::string& why);
