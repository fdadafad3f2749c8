#include "display/image.h"

#include "platform/files.h"

namespace {

constexpr std::size_t kPixelDataOffset = 62;
constexpr std::size_t kRowStride = 16;
constexpr std::size_t kPixelBytesPerRow = 15;

void PutLittleEndian(std::string& bytes, std::size_t at, std::uint32_t value, int width) {
    for (int k = 0; k < width; ++k)
        bytes[at + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
}

std::size_t PixelIndex(int x, int y) {
    return static_cast<std::size_t>(y / kBandHeight) * kDisplayWidth + static_cast<std::size_t>(x);
}

} // namespace

bool IsCompatibleBitmapFile(const std::string& path) {
    std::string ignored;
    std::uint64_t length = 0;
    return ReadFileBytes(path, 0, ignored, length) && length == kBitmapFileLength;
}

bool LoadBitmapImage(const std::string& path, DisplayImageBytes& image) {
    std::string bytes;
    std::uint64_t length = 0;
    if (!ReadFileBytes(path, kBitmapFileLength, bytes, length) || length != kBitmapFileLength ||
        bytes.size() != kBitmapFileLength)
        return false;
    image = ConvertBitmapBytes(bytes);
    return true;
}

DisplayImageBytes ConvertBitmapBytes(const std::string& fileBytes) {
    DisplayImageBytes image;
    image.fill(0xFF);
    if (fileBytes.size() < kBitmapFileLength)
        return image;
    for (int r = 0; r < kDisplayHeight; ++r) {
        int y = kDisplayHeight - 1 - r; // rows are stored bottom-up
        for (std::size_t b = 0; b < kPixelBytesPerRow; ++b) {
            auto pixels =
                static_cast<std::uint8_t>(fileBytes[kPixelDataOffset + kRowStride * r + b]);
            for (int bit = 7; bit >= 0; --bit)
                if (pixels & (1u << bit))
                    SetDisplayPixel(image, static_cast<int>(8 * b) + 7 - bit, y, false);
        }
    }
    return image;
}

std::string BitmapFileBytes(const DisplayImageBytes& image) {
    std::string bytes(kBitmapFileLength, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutLittleEndian(bytes, 2, kBitmapFileLength, 4);
    PutLittleEndian(bytes, 10, kPixelDataOffset, 4);
    PutLittleEndian(bytes, 14, 40, 4); // BITMAPINFOHEADER
    PutLittleEndian(bytes, 18, kDisplayWidth, 4);
    PutLittleEndian(bytes, 22, kDisplayHeight, 4); // positive: bottom-up rows
    PutLittleEndian(bytes, 26, 1, 2);              // planes
    PutLittleEndian(bytes, 28, 1, 2);              // bits per pixel
    PutLittleEndian(bytes, 34, kRowStride * kDisplayHeight, 4);
    PutLittleEndian(bytes, 38, 2835, 4); // 72 dpi
    PutLittleEndian(bytes, 42, 2835, 4);
    PutLittleEndian(bytes, 46, 2, 4);
    PutLittleEndian(bytes, 50, 2, 4);
    // Colour 0 black (a set pixel), colour 1 white.
    PutLittleEndian(bytes, 54, 0x000000, 4);
    PutLittleEndian(bytes, 58, 0xFFFFFF, 4);
    for (int r = 0; r < kDisplayHeight; ++r) {
        int y = kDisplayHeight - 1 - r;
        for (int x = 0; x < kDisplayWidth; ++x)
            if (!DisplayPixelSet(image, x, y))
                bytes[kPixelDataOffset + kRowStride * r + x / 8] |=
                    static_cast<char>(0x80 >> (x % 8));
    }
    return bytes;
}

bool DisplayPixelSet(const DisplayImageBytes& image, int x, int y) {
    return (image[PixelIndex(x, y)] >> (y % kBandHeight)) & 1u;
}

void SetDisplayPixel(DisplayImageBytes& image, int x, int y, bool dark) {
    auto bit = static_cast<std::uint8_t>(1u << (y % kBandHeight));
    if (dark)
        image[PixelIndex(x, y)] |= bit;
    else
        image[PixelIndex(x, y)] &= static_cast<std::uint8_t>(~bit);
}
