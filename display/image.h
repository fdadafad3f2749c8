// The display's screen image: 480 bytes in 4 bands of 8 pixel rows, and its
// making from (and back into) a 120x32 one-bit BMP file of 574 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int kDisplayWidth = 120;
constexpr int kDisplayHeight = 32;
constexpr int kBandHeight = 8;
constexpr std::size_t kDisplayImageSize = 480;
constexpr std::size_t kBitmapFileLength = 574;
constexpr int kFlashPages = 17;

// Byte band * 120 + x; bit 0 is the band's top row; a 1 bit is a pixel of
// colour index 0, which the display shows dark.
using DisplayImageBytes = std::array<std::uint8_t, kDisplayImageSize>;

// True when the file can be opened and is exactly 574 bytes long.
bool IsCompatibleBitmapFile(const std::string& path);

// The image of a 574-byte file; false (image untouched) when the file is
// missing, cannot be opened or has another length.
bool LoadBitmapImage(const std::string& path, DisplayImageBytes& image);

// The conversion itself, from the 574 bytes of a file. Only the pixel data
// from offset 62 is read; headers, colour table and row padding are not.
DisplayImageBytes ConvertBitmapBytes(const std::string& fileBytes);

// The 574-byte file of an image, colour table black first, so that a
// picture viewer shows what the display shows. ConvertBitmapBytes of it
// gives the image back.
std::string BitmapFileBytes(const DisplayImageBytes& image);

// Whether the pixel at (x, y), y = 0 the top row, is set (dark).
bool DisplayPixelSet(const DisplayImageBytes& image, int x, int y);
void SetDisplayPixel(DisplayImageBytes& image, int x, int y, bool dark);
