// The display's screen image and its making from a 120x32 one-bit BMP file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

constexpr int kDisplayWidth = 120;
constexpr int kDisplayHeight = 32;
constexpr int kBandHeight = 8;
constexpr std::size_t kDisplayImageSize = 480;
constexpr std::size_t kBitmapFileLength = 574;

// 4 bands of 8 rows; byte band * 120 + x; bit 0 is the band's top row;
// a 1 bit is a pixel of colour index 0.
using DisplayImageBytes = std::array<std::uint8_t, kDisplayImageSize>;

// The program's one image: filled by ReadBitmapFile, sent by the download,
// printed by the hex export.
extern DisplayImageBytes DisplayImage;

// True when the file can be opened and is exactly 574 bytes long.
bool IsCompatibleBitmapFile(const std::string& path);

// Rebuilds DisplayImage from the file; false (image untouched) when it is
// missing, cannot be opened or is not exactly 574 bytes long.
bool ReadBitmapFile(const std::string& path);

// The conversion itself, from the 574 bytes of a file. Only the pixel data
// from offset 62 is read; headers, colour table and row padding are not.
DisplayImageBytes ConvertBitmapBytes(const std::string& fileBytes);

// Whether the pixel at (x, y), y = 0 the top row, has its bit set.
bool DisplayPixelSet(const DisplayImageBytes& image, int x, int y);
