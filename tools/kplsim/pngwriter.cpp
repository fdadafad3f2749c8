#include "tools/kplsim/pngwriter.h"

#include <png.h>

#include <cstring>
#include <vector>

bool EncodeScreenPng(const DisplayImageBytes& image, std::string& png) {
    std::vector<std::uint8_t> grey(kDisplayWidth * kDisplayHeight);
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x)
            grey[y * kDisplayWidth + x] = DisplayPixelSet(image, x, y) ? 0 : 255;

    png_image info;
    std::memset(&info, 0, sizeof info);
    info.version = PNG_IMAGE_VERSION;
    info.width = kDisplayWidth;
    info.height = kDisplayHeight;
    info.format = PNG_FORMAT_GRAY;

    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&info, nullptr, &size, 0, grey.data(), 0, nullptr))
        return false;
    png.assign(size, '\0');
    if (!png_image_write_to_memory(&info, &png[0], &size, 0, grey.data(), 0, nullptr)) {
        png.clear();
        return false;
    }
    png.resize(size);
    return true;
}
