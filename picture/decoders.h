// What the format readers of picture/ share: the description of the file
// they read, the limits checked before any work, and the reduction that
// takes their rows without ever holding the whole picture.
#pragma once

#include "picture/picture.h"

#include <cstdint>
#include <string>
#include <vector>

// What a reader found out about a file, and its verdict. `kind` names what
// the file is ("a PNG", "an RLE-compressed BMP"), the size follows once
// known, and every refusal names both.
struct Decoding {
    std::string kind;
    int width = 0;
    int height = 0;
    std::string why; // empty while all is well: "truncated", "more than ..."
    std::vector<std::string> notes;
    int orientation = 1; // EXIF's 1 to 8
};

// The limits of what kpl reads, checked once the header is read and
// before any pixel is: pixels, bytes a decoded row, pixels per byte of the
// file (a small file claiming a huge picture). False with why set.
bool WithinLimits(Decoding& decoding, std::int64_t rowBytes, std::size_t fileLength);

// Rows of grey added in any order, each into the block of `factor` x
// `factor` pixels it falls in; the finished picture is each block's
// average. The factor is the largest that still covers the request.
struct Reduction {
    int width = 0, height = 0; // of the picture read
    int factor = 1;
    int outWidth = 0, outHeight = 0;
    std::vector<std::uint32_t> sums;
};
Reduction StartReduction(int width, int height, int coverWidth, int coverHeight);
void AddGreyRow(Reduction& reduction, int y, const std::uint8_t* grey);
GreyPicture FinishReduction(const Reduction& reduction);

// The grey of a colour by the weights of ITU-R BT.601's luma (what a
// JPEG's Y holds), on the sRGB-coded values, rounded.
inline std::uint8_t GreyOf(unsigned r, unsigned g, unsigned b) {
    return static_cast<std::uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
}
// A grey over white by its alpha, rounded.
inline std::uint8_t OverWhite(unsigned grey, unsigned alpha) {
    return static_cast<std::uint8_t>((grey * alpha + 255 * (255 - alpha) + 127) / 255);
}

// The orientation an EXIF block (a TIFF header onwards) gives; 1 if none.
int ExifOrientation(const std::uint8_t* data, std::size_t length);
// The picture turned and mirrored as the orientation says.
GreyPicture Oriented(const GreyPicture& picture, int orientation);

// The readers. Each fills `decoding` and, when its why stays empty, the
// picture, reduced but still covering the request.
void DecodeJpeg(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
                GreyPicture& picture);
void DecodePng(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
               GreyPicture& picture);
void DecodeGif(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
               GreyPicture& picture);
void DecodeBmp(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
               GreyPicture& picture);
void DecodeNetpbm(const std::string& bytes, const DecodeRequest& request, Decoding& decoding,
                  GreyPicture& picture);
