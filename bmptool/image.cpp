#include "bmptool/image.h"

#include "platform/files.h"

DisplayImageBytes DisplayImage{};

namespace {

constexpr std::size_t kPixelDataOffset = 62;
constexpr std::size_t kRowStride = 16;
constexpr std::size_t kPixelBytesPerRow = 15;

} // namespace

bool IsCompatibleBitmapFile(const std::string& path) {
    std::string ignored;
    std::uint64_t length = 0;
    return ReadFileBytes(path, 0, ignored, length) && length == kBitmapFileLength;
}

DisplayImageBytes ConvertBitmapBytes(const std::string& fileBytes) {
    DisplayImageBytes image;
    image.fill(0xFF);
    if (fileBytes.size() < kBitmapFileLength)
        return image;
    for (int r = 0; r < kDisplayHeight; ++r) {
        int y = kDisplayHeight - 1 - r; // rows are stored bottom-up
        std::uint8_t rowBit = static_cast<std::uint8_t>(1u << (y % kBandHeight));
        std::size_t bandStart = static_cast<std::size_t>(y / kBandHeight) * kDisplayWidth;
        for (std::size_t b = 0; b < kPixelBytesPerRow; ++b) {
            auto pixels =
                static_cast<std::uint8_t>(fileBytes[kPixelDataOffset + kRowStride * r + b]);
            for (int bit = 7; bit >= 0; --bit) {
                if (pixels & (1u << bit)) {
                    std::size_t x = 8 * b + static_cast<std::size_t>(7 - bit);
                    image[bandStart + x] &= static_cast<std::uint8_t>(~rowBit);
                }
            }
        }
    }
    return image;
}

bool ReadBitmapFile(const std::string& path) {
    std::string bytes;
    std::uint64_t length = 0;
    if (!ReadFileBytes(path, kBitmapFileLength, bytes, length) || length != kBitmapFileLength ||
        bytes.size() != kBitmapFileLength)
        return false;
    DisplayImage = ConvertBitmapBytes(bytes);
    return true;
}

bool DisplayPixelSet(const DisplayImageBytes& image, int x, int y) {
    std::size_t index = static_cast<std::size_t>(y / kBandHeight) * kDisplayWidth + x;
    return (image[index] >> (y % kBandHeight)) & 1u;
}
