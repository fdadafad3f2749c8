#include "picture/decoders.h"

int ExifOrientation(const std::uint8_t* data, std::size_t length) {
    if (length < 8)
        return 1;
    bool little = data[0] == 'I' && data[1] == 'I';
    if (!little && !(data[0] == 'M' && data[1] == 'M'))
        return 1;
    auto word = [&](std::size_t at) -> unsigned {
        return little ? data[at] | data[at + 1] << 8 : data[at] << 8 | data[at + 1];
    };
    auto dword = [&](std::size_t at) -> std::uint32_t {
        return little ? word(at) | std::uint32_t(word(at + 2)) << 16
                      : std::uint32_t(word(at)) << 16 | word(at + 2);
    };
    if (word(2) != 42)
        return 1;
    std::uint32_t ifd = dword(4);
    if (ifd > length - 2)
        return 1;
    unsigned entries = word(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        std::size_t at = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        if (at + 12 > length)
            return 1;
        // Orientation: one SHORT, held in the entry itself.
        if (word(at) == 0x0112 && word(at + 2) == 3) {
            unsigned value = word(at + 8);
            return value >= 1 && value <= 8 ? int(value) : 1;
        }
    }
    return 1;
}

GreyPicture Oriented(const GreyPicture& picture, int orientation) {
    if (orientation < 2 || orientation > 8)
        return picture;
    const int w = picture.width, h = picture.height;
    const bool swapped = orientation >= 5;
    GreyPicture out;
    out.width = swapped ? h : w;
    out.height = swapped ? w : h;
    out.pixels.resize(picture.pixels.size());
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            // Where the shown pixel (x, y) is stored.
            int sx = x, sy = y;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                break;
            case 3:
                sx = w - 1 - x, sy = h - 1 - y;
                break;
            case 4:
                sy = h - 1 - y;
                break;
            case 5:
                sx = y, sy = x;
                break;
            case 6:
                sx = y, sy = h - 1 - x;
                break;
            case 7:
                sx = w - 1 - y, sy = h - 1 - x;
                break;
            case 8:
                sx = w - 1 - y, sy = x;
                break;
            }
            out.pixels[std::size_t(y) * std::size_t(out.width) + std::size_t(x)] =
                picture.pixels[std::size_t(sy) * std::size_t(w) + std::size_t(sx)];
        }
    return out;
}
